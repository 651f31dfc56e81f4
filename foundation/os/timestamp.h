#pragma once

#include <iosfwd>

// Writes the local time as "%d/%m %H:%M:%S" (no year); nothing when the time cannot be read.
std::ostream& timestamp(std::ostream& out);
