#pragma once

// The controller side of control-server tests: the socket-pair connection and the message helpers
// that the suites share, and the log filter of this suite.

#include "support/controller_pair.h"

#include <string>

namespace servertest {

using testsupport::collapse;
using testsupport::encode;
using testsupport::PairConnection;
using testsupport::received;

// The log text without the lines in which a server without a controller says it sent nothing.
std::string without_unsent(const std::string& log);

}  // namespace servertest
