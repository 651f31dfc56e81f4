#pragma once

// A network namespace of the test process's own, for tests of what binds fixed ports (the
// authentication server's 52000) or looks for network interfaces by name.

#include <string>
#include <vector>

namespace testsupport {

// This process, and the programs it starts from now on, in a network namespace of its own with
// the loopback up and a tun interface of each name, while the object lives; then the process is
// back in the namespace it came from, and the one made here goes with the last of its programs.
class OwnNetwork {
public:
    OwnNetwork() = default;
    OwnNetwork(const OwnNetwork&) = delete;
    OwnNetwork& operator=(const OwnNetwork&) = delete;
    ~OwnNetwork();

    // False, with errno set, where the process may not make one; the test is then skipped.
    bool enter(const std::vector<std::string>& interfaces = {});

private:
    // The interfaces live as long as their descriptors.
    bool hold(int fd);

    int home_ = -1;
    std::vector<int> held_;
};

}  // namespace testsupport
