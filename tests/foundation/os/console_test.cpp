#include "foundation/os/console.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

TEST(Console, SwitchesOnANonTerminalReportBothFailures)
{
    int pair[2];
    ASSERT_EQ(pipe(pair), 0);
    int saved_stdin = dup(STDIN_FILENO);
    dup2(pair[0], STDIN_FILENO);
    std::ostringstream errors;
    std::streambuf* saved_cerr = std::cerr.rdbuf(errors.rdbuf());
    Console::SwitchToBinaryMode();
    std::cerr.rdbuf(saved_cerr);
    dup2(saved_stdin, STDIN_FILENO);
    close(saved_stdin);
    close(pair[0]);
    close(pair[1]);
    EXPECT_EQ(errors.str(), "can't obtain terminal attributes\ncan't set terminal attributes\n");
}

}  // namespace
