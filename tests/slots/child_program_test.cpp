// A child program's start as the fax programs use it: a step in the child before the exec, a line
// when the exec fails, and the end of a program that never ran.

#include "slots/circuit/child_program.h"

#include "support/reactor_until.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct End {
    void on_end(int exit_status) { status = exit_status; }
    int status = -1;
};

TEST(ChildProgram, AProgramThatCannotRunEndsWithStatusTwoAfterTheChildsOwnStepsAndSaysWhy)
{
    ChildWait::Activate();
    testsupport::TempRoot root;
    End end;
    ChildProgram child;
    child.Bind(&end, &End::on_end);
    int out = open((root / "/out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GT(child.Start("/usr/local/bin/fax", {"-m", "2"}, [out] { dup2(out, STDOUT_FILENO); }, "fail to exec!"), 0);
    close(out);
    EXPECT_TRUE(testsupport::run_reactor_until([&] { return end.status != -1; }));
    EXPECT_EQ(end.status, 2 << 8);
    EXPECT_EQ(child.exec_error(), ENOENT);
    EXPECT_EQ(root.read_file("/out"), "fail to exec!\n");
}

}  // namespace
