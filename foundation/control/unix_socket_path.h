#pragma once

// Binding and connecting Unix-domain sockets by path. A path the address cannot hold (more than
// 107 characters) fails with ENAMETOOLONG instead of being cut short.

#include <string>

namespace Control {

// Removes a socket file left at the path by an earlier listener, then binds. Any other kind of
// file stays, and the bind fails on it. bind's result, with errno set on failure.
int BindUnixPath(int socket, const std::string& path);
// connect's result, with errno set on failure.
int ConnectUnixPath(int socket, const std::string& path);

}  // namespace Control
