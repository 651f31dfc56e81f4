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

const char* const crafted_dump =
    "mSectionCount=2\n"
    "dumping IniFile::Section\n"
    "mName=\" net \"\n"
    "mSubSectionCount=2\n"
    "dumping IniFile::SubSection\n"
    "mLineNo=\"3\"\n"
    "mKeyCount=3\n"
    "dumping IniFile::Key\n"
    "mName=\"x\"\n"
    "mSubKeyCount=2\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"1\"\n"
    "mLineNo=4\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"2\"\n"
    "mLineNo=8\n"
    "dumping IniFile::Key\n"
    "mName=\"y\"\n"
    "mSubKeyCount=1\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"a#b\"\n"
    "mLineNo=5\n"
    "dumping IniFile::Key\n"
    "mName=\"two words\"\n"
    "mSubKeyCount=1\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"a  b\"\n"
    "mLineNo=6\n"
    "dumping IniFile::SubSection\n"
    "mLineNo=\"9\"\n"
    "mKeyCount=1\n"
    "dumping IniFile::Key\n"
    "mName=\"empty\"\n"
    "mSubKeyCount=1\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"\"\n"
    "mLineNo=10\n"
    "dumping IniFile::Section\n"
    "mName=\"last\"\n"
    "mSubSectionCount=1\n"
    "dumping IniFile::SubSection\n"
    "mLineNo=\"13\"\n"
    "mKeyCount=1\n"
    "dumping IniFile::Key\n"
    "mName=\"tail\"\n"
    "mSubKeyCount=1\n"
    "dumping IniFile::SubKey\n"
    "mValue=\"end\"\n"
    "mLineNo=14\n";

std::string dump(const IniFile::File& file)
{
    std::ostringstream out;
    file.Dump(out);
    return out.str();
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
    EXPECT_EQ(dump(file),
              "dumping IniFile::File\nmFileName=\"" + (root / "/server.conf") + "\"\n\n" + crafted_dump);

    std::istringstream plain(crafted);
    IniFile::File from_stream;
    plain >> from_stream;
    EXPECT_EQ(dump(from_stream), std::string("dumping IniFile::File\nmFileName=\"\"\n\n") + crafted_dump);
}

TEST(IniFile, UnreadableFileLeavesAnEmptyClosedModel)
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
}

// Cut at the NUL, "]\0" and "]" would be one key name, or "k\0x" the key "k".
TEST(IniFile, ALineHoldingANulByteIsSkippedWholeWithAReport)
{
    testsupport::TempRoot root;
    root.write_file("/server.conf", std::string("[a]\n]\0=1\n]=2\nk\0x=3\n[b\0]\nk=4", 27));
    reactortest::CaptureStream errors(std::cerr);
    IniFile::File file(root / "/server.conf");
    const std::string name = "configuration \"" + (root / "/server.conf") + "\" ";
    EXPECT_EQ(errors.text(), name + "line 2: a NUL byte, line skipped\n" + name + "line 4: a NUL byte, line skipped\n" +
                                 name + "line 5: a NUL byte, line skipped\n");
    IniFile::SubSection& a = *file["a"].begin();
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
