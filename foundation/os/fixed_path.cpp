#include "foundation/os/fixed_path.h"

#include <cstdlib>

std::string fixed_path(const std::string& path)
{
    const char* root = std::getenv("TOVRASEL_ROOT");
    if (!root || !*root)
        return path;
    return root + path;
}
