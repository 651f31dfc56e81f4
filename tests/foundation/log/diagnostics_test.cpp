// The small printers of the diagnostics: version words, scoped trace blocks, the list of timing
// points of the status dump, and the time stamp of console lines.

#include "foundation/log/profile.h"
#include "foundation/log/trace_block.h"
#include "foundation/log/version.h"
#include "foundation/os/timestamp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {

TEST(Diagnostics, VersionWordsTraceBlocksAndTimeStamps)
{
    std::ostringstream out;
    for (int type = 0; type <= 4; ++type)
        out << Version::Type(type) << '/' << version_suffix(Version::Type(type)) << ' ';
    EXPECT_EQ(out.str(), "snapshot/S test/T release/R unit-test/T unknown/U ");
    out.str("");
    out << Version::current;
    EXPECT_EQ(out.str(), Version::current.text);

    out.str("");
    {
        Trace::Block on(true, "outer", out);
        Trace::Block off(false, "inner", out);
        out << "work\n";
    }
    EXPECT_EQ(out.str(), "Enter outer\nwork\nLeave outer\n");

    out.str("");
    timestamp(out) << '|';
    EXPECT_THAT(out.str(), ::testing::MatchesRegex("[0-3][0-9]/[01][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\|"));
}

TEST(Diagnostics, TimingPointsAreListedNewestFirstWhileTheyLive)
{
    std::ostringstream earlier;
    Profile::dump(earlier);
    Profile::Point* before = Profile::mRoot;
    {
        Profile::Point a("a");
        auto b = std::make_unique<Profile::Point>("b");
        Profile::Point c("c");
        b.reset();
        EXPECT_EQ(Profile::mRoot, &c);
        EXPECT_EQ(c.next(), &a);
        std::ostringstream out;
        Profile::dump(out);
        EXPECT_EQ(out.str(), "[c]: min=0 max=0 avg=0 counter=0\n[a]: min=0 max=0 avg=0 counter=0\n" + earlier.str());
    }
    EXPECT_EQ(Profile::mRoot, before);
}

}  // namespace
