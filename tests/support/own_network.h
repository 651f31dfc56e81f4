#pragma once

// A network namespace of the test process's own, for tests of what binds fixed ports (the
// authentication server's 52000) or looks for network interfaces by name.

#include <string>
#include <vector>

namespace testsupport {

// Moves this process, and the programs it starts from then on, into a network namespace of its
// own with the loopback up and a tun interface of each name (their descriptors, and so the
// interfaces, go with the process). False, with errno set, where the process may not; the test
// is then skipped.
bool own_network(const std::vector<std::string>& interfaces = {});

}  // namespace testsupport
