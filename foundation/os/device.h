#pragma once

// The board's character devices ("/dev/hal", "/dev/misc/gw-wd", ...), reached only through here
// so that the same code drives the board's drivers or the board emulator.

#include "foundation/os/fd.h"

namespace Device {

// Opens a device by its board path (mapped with fixed_path); the descriptor is close-on-exec.
// Returns a negative Fd with errno set on failure.
Fd open(const char* path, int flags);

}  // namespace Device
