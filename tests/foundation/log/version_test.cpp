#include "foundation/log/version.h"

#include "foundation/log/trace_block.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

TEST(VersionTest, CurrentRecord)
{
    const Version& v = Version::current;
    EXPECT_EQ(v.type, Version::snapshot);
    EXPECT_EQ(v.number, 0);
    EXPECT_STREQ(v.extra, "");
    EXPECT_STREQ(v.date, "2024-12-05 13:55");
    EXPECT_STREQ(v.text, "T241205-1355");
    EXPECT_STREQ(v.architecture, "ppc");

    std::ostringstream out;
    v.put(out);
    out << ' ' << v;
    EXPECT_EQ(out.str(), "T241205-1355 T241205-1355");
}

TEST(VersionTest, TypeWordsAndSuffixes)
{
    std::ostringstream out;
    for (int t = 0; t <= 4; ++t)
        out << Version::Type(t) << '/' << version_suffix(Version::Type(t)) << ' ';
    EXPECT_EQ(out.str(), "snapshot/S test/T release/R unit-test/T unknown/U ");
    EXPECT_STREQ(version_string(Version::Type(7)), "unknown");
}

TEST(TraceBlockTest, EnterAndLeaveOnlyWhenEnabled)
{
    std::ostringstream out;
    {
        Trace::Block on(true, "outer", out);
        Trace::Block off(false, "inner", out);
        out << "work\n";
    }
    EXPECT_EQ(out.str(), "Enter outer\nwork\nLeave outer\n");
}

}  // namespace
