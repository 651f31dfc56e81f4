#pragma once

#include <string>

// Maps a fixed system path of the daemon ("/usr/local/etc/server.conf", "/dev/hal", ...) to
// where it lives: unchanged on the board, under $TOVRASEL_ROOT when that is set and not empty.
// Every call site that names a fixed path goes through here.
std::string fixed_path(const std::string& path);
