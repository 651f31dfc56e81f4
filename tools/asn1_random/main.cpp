// asn1_erlang_crosscheck: checks our PER runtime against Erlang/OTP's ASN.1 coder on random values
// of every type a controller message (LGCP::Message) or monitoring-agent message (MON::Message)
// may hold.
//
//   asn1_erlang_crosscheck --export DIR --work DIR --escript FILE [--values N] [--seed N]
//
// Exit status 0 when every value agrees, 1 when one does not, 77 (skipped) when Erlang's escript
// or its ASN.1 application is missing.

#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "tools/asn1_random/erlang_crosscheck.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char usage[] =
    "usage: asn1_erlang_crosscheck --export DIR --work DIR --escript FILE [--values N] [--seed N]\n";

bool parseOptions(int argc, char** argv, asn1random::CrossCheckOptions& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--export")
            options.exportDir = value;
        else if (name == "--work")
            options.workDir = value;
        else if (name == "--escript")
            options.escript = value;
        else if (name == "--values")
            options.valuesPerType = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (name == "--seed")
            options.seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else
            return false;
    }
    return argc % 2 == 1 && !options.exportDir.empty() && !options.workDir.empty() && !options.escript.empty() &&
        options.valuesPerType > 0;
}

bool inPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    asn1random::CrossCheckOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << usage;
        return 2;
    }
    if (!inPath("escript")) {
        std::cout << "escript not found (Debian packages erlang-base and erlang-asn1): skipped\n";
        return asn1random::ErlangCrossCheck::skipped;
    }
    asn1random::ErlangCrossCheck check(options, std::cout);
    check.addRoot(&LGCP::Message::theInfo);
    check.addRoot(&MON::Message::theInfo);
    return check.run();
}
