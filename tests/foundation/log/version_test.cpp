#include "foundation/log/version.h"

#include "foundation/log/trace_block.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(VersionTest, TextAndTypeWords)
{
    std::ostringstream out;
    Version::current.put(out);
    out << ' ' << Version::current << ' ';
    for (int t = 0; t <= 4; ++t)
        out << Version::Type(t) << '/' << version_suffix(Version::Type(t)) << ' ';
    EXPECT_EQ(out.str(), "T241205-1355 T241205-1355 snapshot/S test/T release/R unit-test/T unknown/U ");
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
