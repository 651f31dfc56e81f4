#include "foundation/config/ini_file.h"
#include "foundation/reactor/reactor_test_support.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Line numbers are in the comments; the last line has no line end.
const char* const crafted =
    "junk before the first header\n"  // 1
    "# comment [not a header]\n"      // 2
    "[ net ] # after the header\n"    // 3
    "x   =  1 # one\n"                // 4
    "y=a#b\n"                         // 5
    "  two words  =   a  b   \n"      // 6
    "no equals here\n"                // 7
    "x=2\n"                           // 8
    "[ net ]\n"                       // 9
    "empty=# nothing\n"               // 10
    "[broken\n"                       // 11
    "k=ignored until the next header\n"  // 12
    "[last]\n"                        // 13
    "tail = end";                     // 14

// The model as one line per section: "[name] @line key=value@line ... @line ..." with the header
// line of each sub-section.
std::string model(const IniFile::File& file)
{
    std::string text;
    for (const IniFile::Section& section : file) {
        text += "[" + section.name() + "]";
        for (const IniFile::SubSection& subsection : section) {
            text += " @" + std::to_string(subsection.line());
            for (const IniFile::Key& key : subsection)
                for (const IniFile::SubKey& value : key)
                    text += " " + key.name() + "=" + value.value() + "@" + std::to_string(value.line());
        }
        text += "\n";
    }
    return text;
}

std::string with_crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

TEST(IniFile, CraftedFileWithCarriageReturnsGivesTheExpectedModel)
{
    testsupport::TempRoot root;
    root.write_file("/server.conf", with_crlf(crafted));
    IniFile::File file;
    ASSERT_TRUE(file.Open(root / "/server.conf"));
    EXPECT_TRUE(file.opened());
    const std::string text = "[ net ] @3 x=1@4 x=2@8 y=a#b@5 two words=a  b@6 @9 empty=@10\n[last] @13 tail=end@14\n";
    EXPECT_EQ(model(file), text);
    std::istringstream plain(crafted);
    IniFile::File from_stream;
    plain >> from_stream;
    EXPECT_EQ(model(from_stream), text);

    // The dump writes the tree one item a line, each level before its children.
    std::istringstream one("[a]\nk=v");
    IniFile::File small;
    one >> small;
    std::ostringstream dump;
    small.Dump(dump);
    EXPECT_EQ(dump.str(), "dumping IniFile::File\nmFileName=\"\"\n\nmSectionCount=1\ndumping IniFile::Section\n"
                          "mName=\"a\"\nmSubSectionCount=1\ndumping IniFile::SubSection\nmLineNo=\"1\"\nmKeyCount=1\n"
                          "dumping IniFile::Key\nmName=\"k\"\nmSubKeyCount=1\ndumping IniFile::SubKey\nmValue=\"v\"\n"
                          "mLineNo=2\n");
}

TEST(IniFile, AnUnreadableFileLeavesAnEmptyClosedModelAndALineHoldingANulByteIsSkippedWholeWithAReport)
{
    testsupport::TempRoot root;
    std::istringstream in("[b]\n[a]\nz=1\nlast=");
    IniFile::File file;
    in >> file;
    // A last line ending at the equals sign gives an empty value.
    EXPECT_EQ(file["a"].begin()->operator[]("last").begin()->value(), "");
    EXPECT_FALSE(file.Open(root / "/missing.conf"));
    EXPECT_FALSE(file.opened());
    EXPECT_EQ(file.count(), 0u);
    EXPECT_EQ(file.name(), root / "/missing.conf");

    // Cut at the NUL, "]\0" and "]" would be one key name, or "k\0x" the key "k".
    root.write_file("/server.conf", std::string("[a]\n]\0=1\n]=2\nk\0x=3\n[b\0]\nk=4", 27));
    reactortest::CaptureStream errors(std::cerr);
    IniFile::File skipped(root / "/server.conf");
    const std::string name = "configuration \"" + (root / "/server.conf") + "\" ";
    EXPECT_EQ(errors.text(), name + "line 2: a NUL byte, line skipped\n" + name + "line 4: a NUL byte, line skipped\n" +
                                 name + "line 5: a NUL byte, line skipped\n");
    IniFile::SubSection& a = *skipped["a"].begin();
    EXPECT_EQ(a.count(), 2u);
    EXPECT_EQ(a["]"].count(), 1u);
    EXPECT_EQ(a["]"].begin()->value(), "2");
    EXPECT_EQ(a["k"].begin()->value(), "4");
}

TEST(IniFile, NewSectionAndNewKeyAppendUnderAKnownNameAndLookupsFindTheNewest)
{
    IniFile::File file;
    file["s"];
    IniFile::Section& section = file.NewSection("s");
    IniFile::SubSection& subsection = section.NewSubSection(1);
    subsection["k"];
    IniFile::Key& key = subsection.NewKey("k");
    EXPECT_EQ(&file["s"], &section);
    EXPECT_EQ(&subsection["k"], &key);
    EXPECT_EQ(file.count(), 2u);
    EXPECT_EQ(subsection.count(), 2u);
}

TEST(IniFileSubKey, ConvertsWithItsOwnBooleanWordsAndScanfNumbers)
{
    IniFile::SubKey value("on", 1);
    EXPECT_TRUE(value.GetBool(false));
    for (const char* word : {"enable", "enabled", "True", "YES", ""}) {
        IniFile::SubKey other(word, 1);
        EXPECT_TRUE(other.GetBool(true)) << word;
        EXPECT_FALSE(other.GetBool(false)) << word;
    }
    EXPECT_FALSE(IniFile::SubKey("off", 1).GetBool(true));
    EXPECT_EQ(IniFile::SubKey("  42abc", 1).GetInt(-1), 42);
    EXPECT_EQ(IniFile::SubKey("abc", 1).GetInt(-1), -1);
    EXPECT_FLOAT_EQ(IniFile::SubKey("2.5x", 1).GetFloat(-1), 2.5f);
    EXPECT_FLOAT_EQ(IniFile::SubKey("x", 1).GetFloat(-1), -1.0f);

    value.SetBool(false);
    EXPECT_EQ(value.value(), "no");
    value.SetInt(-17);
    EXPECT_EQ(value.value(), "-17");
    value.SetFloat(3.14159265f);
    EXPECT_EQ(value.value(), "3.14159");
}

}  // namespace
