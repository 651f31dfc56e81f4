#include "foundation/config/ini_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// The messages of a reader with the required keys "x" (string-valued unless bool_key) and
// "later" over the section [s] of the given text.
std::string parse_required(const char* text, bool& ok, bool bool_key = false)
{
    std::istringstream in(text);
    IniFile::File file;
    in >> file;
    std::ostringstream messages;
    IniFile::Reader reader("h: ", messages);
    std::string value;
    bool flag = true;
    bool later = false;
    if (bool_key)
        reader.required.add(&flag, "x");
    else
        reader.required.add(&value, "x");
    bool& later_parsed = reader.required.add(&later, "later");
    ok = reader.parse(*file["s"].begin());
    // A failed parse stops at the first bad key and leaves the variables alone.
    if (!ok) {
        EXPECT_FALSE(later_parsed);
        EXPECT_FALSE(later);
        EXPECT_TRUE(flag);
    }
    return messages.str();
}

TEST(IniReader, RequiredKeysAreReportedWithTheirLines)
{
    bool ok = true;
    EXPECT_EQ(parse_required("[s]\nx=yes\nx=no\nlater=yes\n", ok),
              "h: required key \"x\" is duplicated!\n"
              "h:  first occurence at 2 line.\n"
              "h:  second occurence at 3 line.\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(parse_required("[s]\nx=1\n\nx=2\nx=3\nlater=yes\n", ok),
              "h: required key \"x\" specified more than once: 2 4 5 lines\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(parse_required("\n\n[s]\nlater=yes\n", ok), "h: required key \"x\" not present, line 3\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(parse_required("[s]\nx = # nothing\nlater=yes\n", ok, true),
              "h: required key \"x\" has invalid value=\"\", line 2\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(parse_required("[s]\nx=yes\nlater=yes\n", ok, true), "");
    EXPECT_TRUE(ok);
}

TEST(IniReader, OptionalKeysAreReportedButNeverFail)
{
    std::istringstream in("[s]\nbad=on\ntwice=yes\ntwice=no\nthrice=a\nthrice=b\nthrice=c\ngood=disabled\n");
    IniFile::File file;
    in >> file;
    std::ostringstream messages;
    IniFile::Reader reader("h: ", messages);
    bool bad = false, twice = false, good = true, absent = true;
    std::string thrice = "kept";
    bool& bad_parsed = reader.optional.add(&bad, "bad");
    bool& twice_parsed = reader.optional.add(&twice, "twice");
    reader.optional.add(&thrice, "thrice");
    bool& good_parsed = reader.optional.add(&good, "good");
    bool& absent_parsed = reader.optional.add(&absent, "absent");
    EXPECT_TRUE(reader.parse(*file["s"].begin()));
    EXPECT_FALSE(bad_parsed || twice_parsed || absent_parsed);
    EXPECT_TRUE(good_parsed);
    EXPECT_FALSE(good);
    EXPECT_TRUE(absent);
    EXPECT_EQ(thrice, "kept");
    EXPECT_EQ(messages.str(),
              "h: optional key \"bad\" has invalid value=\"on\", line 2. Key will be ignored.\n"
              "h: optional key \"twice\" is duplicated!\n"
              "h:  first occurence at 3 line.\n"
              "h:  second occurence at 4 line. Both keys will be ignored.\n"
              "h: optional key \"thrice\" specified more than once: 5 6 7 lines. All keys will be ignored.\n");
}

enum AgentType { lemzgw = 1, vask = 2, lemzgw_qx = 4 };

TEST(IniReaderValues, BooleanWordsAreExactAndCaseSensitiveAndEnumerationsTakeTableWordsOrWholeNumbersInRange)
{
    bool flag = false;
    IniFile::Private::TKeyValue<bool> boolean(&flag, "k");
    for (const char* word : {"true", "yes", "enabled", "enable", "1"}) {
        flag = false;
        EXPECT_TRUE(boolean.do_parse(word) && flag) << word;
    }
    for (const char* word : {"false", "no", "disabled", "disable", "0"}) {
        flag = true;
        EXPECT_TRUE(boolean.do_parse(word) && !flag) << word;
    }
    for (const char* word : {"on", "off", "TRUE", "Yes", "", " yes", "2"})
        EXPECT_FALSE(boolean.do_parse(word)) << word;

    static const IniFile::Symbol words[] = {{"lemzgw", lemzgw}, {"vask", vask}, {"lemzgw.qx", lemzgw_qx}, {nullptr, 0}};
    AgentType value = lemzgw;
    IniFile::Private::TKeyValue<AgentType> key(&value, "name", words);
    EXPECT_TRUE(key.do_parse("lemzgw.qx"));
    EXPECT_EQ(value, lemzgw_qx);
    EXPECT_TRUE(key.do_parse("0x2"));
    EXPECT_EQ(value, vask);
    EXPECT_TRUE(key.do_parse("01"));
    EXPECT_EQ(value, lemzgw);
    for (const char* text : {"", "Vask", "2x", "99999999999999999999", "0x100000000"})
        EXPECT_FALSE(key.do_parse(text)) << text;
    EXPECT_EQ(value, lemzgw);
}

}  // namespace
