#include "signalling/cyclic.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Seq = Cyclic<unsigned int, 127u>;

TEST(Cyclic, CountsModulo128AndTestsTheWindowAcrossTheWrap)
{
    Seq top(127), bottom(0);
    const std::vector<unsigned> values{++top,    --bottom, bottom++, bottom, Seq(130), Seq(127) + Seq(1),
                                       Seq(100) + Seq(100)};
    EXPECT_EQ(values, (std::vector<unsigned>{0, 127, 127, 0, 2, 0, 72}));
    // a <= b <= c: whether b lies on the way forward from a to c.
    const unsigned cases[][4] = {{125, 1, 3, 1},   {125, 4, 3, 0}, {5, 5, 5, 1},    {5, 6, 5, 0},
                                 {125, 125, 3, 1}, {125, 3, 3, 1}, {125, 124, 3, 0}, {0, 127, 126, 0},
                                 {3, 125, 1, 1},   {10, 9, 20, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Seq(c[0]) <= Seq(c[1]) <= Seq(c[2]), c[3] == 1) << c[0] << " <= " << c[1] << " <= " << c[2];
}

}  // namespace
