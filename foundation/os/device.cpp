#include "foundation/os/device.h"

#include "foundation/os/fixed_path.h"

#include <fcntl.h>

namespace Device {

Fd open(const char* path, int flags) { return ::open(fixed_path(path).c_str(), flags | O_CLOEXEC); }

}  // namespace Device
