#include "foundation/os/timestamp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Timestamp, DayMonthAndTimeWithoutYear)
{
    std::ostringstream out;
    timestamp(out) << '|';
    EXPECT_THAT(out.str(), ::testing::MatchesRegex("[0-3][0-9]/[01][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\|"));
}

}  // namespace
