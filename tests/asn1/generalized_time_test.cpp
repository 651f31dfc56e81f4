#include "asn1/runtime/generalized_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

TEST(Asn1GeneralizedTime, EveryTimeTakenPrintsBackInItsOwnForm)
{
    // Fractions, UTC, the edges of each field, the end of a day and the widest offsets.
    for (const auto& [text, printed] : {std::pair{"20240229123456.5Z", "20240229123456.500Z"},
             {"20240229123456.0299999", "20240229123456.029"}, {"19991231235959+0130", "19991231235959+0130"},
             {"00000101000000", "00000101000000"}, {"99991231235959.999", "99991231235959.999"},
             {"20240229240000Z", "20240229240000Z"}, {"20240101000000+2359", "20240101000000+2359"},
             {"20240101000000-2359", "20240101000000-2359"}, {"20240101000000-0001", "20240101000000-0001"}}) {
        ASN1::GeneralizedTime time;
        ASSERT_TRUE(time.set(text)) << text;
        EXPECT_EQ(time.get(), printed);
    }
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
        EXPECT_EQ(time.get(), before.get()) << text;
    }
    // Text that ends early inside a longer buffer is cut where the caller says.
    ASN1::GeneralizedTime time;
    const std::string buffer = "20240229123456Z-junk";
    EXPECT_FALSE(time.set(std::string_view(buffer.data(), 8)));
    EXPECT_TRUE(time.set(std::string_view(buffer.data(), 15)));
}

TEST(Asn1GeneralizedTime, SecondsSinceTheEpochSetTheUtcFieldsAndTheFieldsReadAsLocalTime)
{
    const char* saved = std::getenv("TZ");
    const std::string zone = saved ? saved : "";
    ASN1::GeneralizedTime time("20240229123456.5+0130");
    time.set_time_t(1709210096);  // 2024-02-29 12:34:56 UTC
    EXPECT_EQ(time.get(), "20240229123456.500+0130");
    time.set_time_t(0);
    EXPECT_EQ(time.get(), "19700101000000.500+0130");

    // Local time two hours east of UTC: the same fields are two hours earlier.
    for (const auto& [tz, seconds] : {std::pair{"UTC0", 1709210096L}, {"EET-2", 1709210096L - 7200}}) {
        setenv("TZ", tz, 1);
        tzset();
        time.set_time_t(1709210096);
        EXPECT_EQ(time.get_time_t(), seconds) << tz;
    }
    saved ? setenv("TZ", zone.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST(Asn1GeneralizedTime, CopiesAndComparisonTakeEveryField)
{
    const ASN1::GeneralizedTime time("20240229123456.5Z");
    std::unique_ptr<ASN1::AbstractData> copy(time.clone());
    EXPECT_EQ(static_cast<ASN1::GeneralizedTime&>(*copy).get(), "20240229123456.500Z");
    EXPECT_EQ(*copy, time);
    for (const char* later : {"20250101000000Z", "20240301000000Z", "20240229123457Z", "20240229123456.501Z",
                              "20240229123456.5+0001"}) {
        const ASN1::GeneralizedTime other(later);
        EXPECT_NE(other.compare(time), 0) << later;
        EXPECT_EQ(other.compare(time) > 0, time.compare(other) < 0) << later;
    }
    EXPECT_NE(ASN1::GeneralizedTime("20240229123456.5").compare(time), 0);
}

}  // namespace
