#include "foundation/config/ini_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

class IniReader : public ::testing::Test {
protected:
    IniFile::SubSection& read(const std::string& text)
    {
        std::istringstream in(text);
        in >> file;
        return *file["s"].begin();
    }

    IniFile::File file;
    std::ostringstream messages;
};

TEST_F(IniReader, RequiredKeyGivenTwiceIsReportedWithBothLines)
{
    IniFile::SubSection& s = read("[s]\nx=yes\nx=no\n");
    IniFile::Reader reader("traces: ", messages);
    bool x = false;
    bool& parsed = reader.required.add(&x, "x");
    EXPECT_FALSE(reader.parse(s));
    EXPECT_FALSE(parsed);
    EXPECT_FALSE(x);
    EXPECT_EQ(messages.str(),
              "traces: required key \"x\" is duplicated!\n"
              "traces:  first occurence at 2 line.\n"
              "traces:  second occurence at 3 line.\n");
}

TEST_F(IniReader, RequiredKeyGivenThreeTimesListsEveryLine)
{
    IniFile::SubSection& s = read("[s]\nx=1\n\nx=2\nx=3\n");
    IniFile::Reader reader("h: ", messages);
    std::string x;
    reader.required.add(&x, "x");
    EXPECT_FALSE(reader.parse(s));
    EXPECT_EQ(messages.str(), "h: required key \"x\" specified more than once: 2 4 5 lines\n");
}

TEST_F(IniReader, MissingRequiredKeyNamesTheHeaderLineAndStopsTheParse)
{
    IniFile::SubSection& s = read("\n\n[s]\nlater=yes\n");
    IniFile::Reader reader("h: ", messages);
    std::string absent;
    bool later = false;
    reader.required.add(&absent, "absent");
    reader.required.add(&later, "later");
    EXPECT_FALSE(reader.parse(s));
    EXPECT_FALSE(later);
    EXPECT_EQ(messages.str(), "h: required key \"absent\" not present, line 3\n");
}

TEST_F(IniReader, BooleanKeyWithOnlyACommentAfterTheEqualsSignIsInvalid)
{
    IniFile::SubSection& s = read("[s]\nflag = # nothing\n");
    IniFile::Reader reader("traces: ", messages);
    bool flag = true;
    reader.required.add(&flag, "flag");
    EXPECT_FALSE(reader.parse(s));
    EXPECT_TRUE(flag);
    EXPECT_EQ(messages.str(), "traces: required key \"flag\" has invalid value=\"\", line 2\n");
}

TEST_F(IniReader, OptionalKeysAreReportedButNeverFail)
{
    IniFile::SubSection& s = read("[s]\nbad=on\ntwice=yes\ntwice=no\nthrice=a\nthrice=b\nthrice=c\ngood=disabled\n");
    IniFile::Reader reader("h: ", messages);
    bool bad = false, twice = false, good = true, absent = true;
    std::string thrice = "kept";
    bool& bad_parsed = reader.optional.add(&bad, "bad");
    bool& twice_parsed = reader.optional.add(&twice, "twice");
    reader.optional.add(&thrice, "thrice");
    bool& good_parsed = reader.optional.add(&good, "good");
    bool& absent_parsed = reader.optional.add(&absent, "absent");
    EXPECT_TRUE(reader.parse(s));
    EXPECT_FALSE(bad_parsed);
    EXPECT_FALSE(twice_parsed);
    EXPECT_TRUE(good_parsed);
    EXPECT_FALSE(absent_parsed);
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

TEST(IniReaderValues, BooleanWordsAreExactAndCaseSensitive)
{
    bool value = false;
    IniFile::Private::TKeyValue<bool> key(&value, "k");
    for (const char* word : {"true", "yes", "enabled", "enable", "1"}) {
        value = false;
        EXPECT_TRUE(key.do_parse(word)) << word;
        EXPECT_TRUE(value) << word;
    }
    for (const char* word : {"false", "no", "disabled", "disable", "0"}) {
        value = true;
        EXPECT_TRUE(key.do_parse(word)) << word;
        EXPECT_FALSE(value) << word;
    }
    for (const char* word : {"on", "off", "TRUE", "Yes", "", " yes", "2"})
        EXPECT_FALSE(key.do_parse(word)) << word;
}

enum AgentType { lemzgw = 1, vask = 2, lemzgw_qx = 4 };

TEST(IniReaderValues, EnumerationTakesTableWordsOrWholeNumbers)
{
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
