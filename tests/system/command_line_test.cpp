#include "gateway.h"
#include "program_process.h"

#include "support/temp_root.h"

#include <gtest/gtest.h>

namespace {

using systemtest::build_program;
using systemtest::Finished;
using systemtest::run_program;

const char usage[] =
    "Usage:\n"
    " tovrasel -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n"
    "\n";

class CommandLine : public ::testing::Test {
protected:
    Finished run(const std::vector<std::string>& arguments)
    {
        return run_program(build_program("tovrasel"), arguments, root.path());
    }

    testsupport::TempRoot root;
};

TEST_F(CommandLine, HelpPrintsTheUsageAndSucceeds)
{
    for (const char* option : {"-h", "--help"}) {
        Finished finished = run({option});
        EXPECT_EQ(finished.exit_status, 0) << option;
        EXPECT_EQ(finished.output, usage) << option;
    }
}

TEST_F(CommandLine, AnythingElseGetsTheUsageAndStatus2)
{
    // "-p" is listed in the usage text but only "--port" is taken, and only a port number.
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"-p", "4000"}, {"--port", "abc"}, {"--port", "0"}, {"--port", "65536"},
                                               {"--port", "-5"}, {"--port", "12x"}, {"--port", ""}, {"--bogus"},
                                               {"--port"}}) {
        Finished finished = run(arguments);
        EXPECT_EQ(finished.exit_status, 2) << arguments[0];
        EXPECT_EQ(finished.output, usage) << arguments[0];
    }
}

TEST_F(CommandLine, VersionIsPrintedBeforeAnythingIsBuilt)
{
    root.write_file("/usr/local/etc/server.conf", "[traces]\nsignalling.isdn = maybe\n");
    Finished finished = run({"--version", "--port", "4000"});
    EXPECT_EQ(finished.exit_status, 2);
    EXPECT_EQ(finished.output.rfind("server version: ", 0), 0u);
    EXPECT_GT(finished.output.size(), std::string("server version: \n").size());
    EXPECT_EQ(finished.output.back(), '\n');
    // The configuration was read, and no hardware was touched.
    EXPECT_EQ(finished.errors,
              "traces: optional key \"signalling.isdn\" has invalid value=\"maybe\", line 2. Key will be ignored.\n");
}

}  // namespace
