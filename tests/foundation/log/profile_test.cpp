#include "foundation/log/profile.h"

#include "foundation/reactor/clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void TearDown() override { Mux::clear_cached_time_for_tests(); }

    void advance(int32_t usec)
    {
        now_.tv_usec += usec;
        Mux::set_cached_time_for_tests(now_);
    }

    static std::string text(const Profile::Point& point)
    {
        std::ostringstream out;
        point.put(out);
        return out.str();
    }

    Mux::timeval now_{1700000000, 0};
};

TEST_F(ProfileTest, PointPrintsMinMaxLastIntervalAndCounter)
{
    Profile::Point point("tpkt");
    EXPECT_EQ(text(point), "[tpkt]: min=0 max=0 avg=0 counter=0");
    for (int32_t usec : {5, 2, 9}) {
        advance(100);
        point.begin();
        advance(usec);
        point.end();
    }
    EXPECT_EQ(text(point), "[tpkt]: min=2 max=9 avg=9 counter=3");
}

TEST_F(ProfileTest, ListHoldsLivePointsNewestFirst)
{
    Profile::Point* before = Profile::mRoot;
    std::ostringstream expected;
    for (Profile::Point* p = before; p; p = p->next()) {
        p->put(expected);
        expected << '\n';
    }
    {
        Profile::Point a("a");
        auto b = std::make_unique<Profile::Point>("b");
        Profile::Point c("c");
        b.reset();
        EXPECT_EQ(Profile::mRoot, &c);
        EXPECT_EQ(c.next(), &a);

        std::ostringstream out;
        Profile::dump(out);
        EXPECT_EQ(out.str(), "[c]: min=0 max=0 avg=0 counter=0\n[a]: min=0 max=0 avg=0 counter=0\n" + expected.str());
    }
    EXPECT_EQ(Profile::mRoot, before);
}

}  // namespace
