#include "asn1/runtime/generalized_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

TEST(Asn1GeneralizedTime, FractionUtcAndOffsets)
{
    ASN1::GeneralizedTime time;
    ASSERT_TRUE(time.set("20240229123456.5Z"));
    EXPECT_EQ(time.getDay(), 29);
    EXPECT_EQ(time.getSecond(), 56);
    EXPECT_EQ(time.getMillisec(), 500);
    EXPECT_TRUE(time.isUTC());
    EXPECT_EQ(time.get(), "20240229123456.500Z");
    ASSERT_TRUE(time.set("20240229123456.0299999"));
    EXPECT_EQ(time.getMillisec(), 29);
    EXPECT_FALSE(time.isUTC());
    EXPECT_EQ(time.get(), "20240229123456.029");

    ASSERT_TRUE(time.set("19991231235959+0130"));
    EXPECT_EQ(time.getMindiff(), 90);
    EXPECT_EQ(ASN1::GeneralizedTime(1999, 12, 31, 23, 59, 59, 0, -90, false).get(), "19991231235959-0130");
    // UTC wins over an offset when printing.
    EXPECT_EQ(ASN1::GeneralizedTime(2000, 1, 2, 3, 4, 5, 6, 90, true).get(), "20000102030405.006Z");
}

TEST(Asn1GeneralizedTime, MalformedOrOutOfRangeTextsFailAndChangeNothing)
{
    const ASN1::GeneralizedTime before("20240229123456.5Z");
    for (const char* text :
         {"", "Z", "12", "+0130", "2024022912345", "2024022912345Z", "20240229123456.", "20240229123456.Z",
          "20240229123456+013", "20240229123456+01300", "20240229123456X", "20240229123456ZZ", "2024O229123456",
          "20240229123456*0130", "20240029123456", "20241329123456", "20249629123456", "20240200123456",
          "20240232123456", "20240229253456", "20240229243000", "20240229240001", "20240229240000.5",
          "20240229126056", "20240229123460", "20240229123456+0060", "20240229123456-0199", "20240229123456+2400",
          "20240229123456+9999"}) {
        ASN1::GeneralizedTime time = before;
        EXPECT_FALSE(time.set(text)) << text;
        EXPECT_EQ(time, before) << text;
    }
    // Text that ends early inside a longer buffer is cut where the caller says.
    ASN1::GeneralizedTime time;
    const std::string buffer = "20240229123456Z-junk";
    EXPECT_FALSE(time.set(std::string_view(buffer.data(), 8)));
    EXPECT_TRUE(time.set(std::string_view(buffer.data(), 15)));
}

TEST(Asn1GeneralizedTime, EveryTimeTakenPrintsBackAsItself)
{
    // The edges of each field, the end of a day and the widest offsets.
    for (const char* text : {"00000101000000", "99991231235959.999", "20240229240000Z", "20240101000000+2359",
                             "20240101000000-2359", "20240101000000-0001"}) {
        ASN1::GeneralizedTime time;
        ASSERT_TRUE(time.set(text)) << text;
        EXPECT_EQ(time.get(), text);
    }
}

TEST(Asn1GeneralizedTime, ComparesFieldByFieldThenUtcAndConvertsTimeT)
{
    const ASN1::GeneralizedTime base(2024, 5, 1, 10, 0, 0, 0, 0, false);
    EXPECT_EQ(base.compare(ASN1::GeneralizedTime(2024, 3, 30, 23, 0, 0, 0, 0, false)), 2);
    EXPECT_LT(base.compare(ASN1::GeneralizedTime(2024, 5, 1, 10, 0, 0, 0, 0, true)), 0);

    ASN1::GeneralizedTime time("20000101000000.250+0100");
    time.set_time_t(951782400);  // 2000-02-29 00:00:00 UTC
    EXPECT_EQ(time.get(), "20000229000000.250+0100");
    const char* saved = std::getenv("TZ");
    const std::string old_zone = saved ? saved : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(time.get_time_t(), 951782400);
    if (saved)
        setenv("TZ", old_zone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
