#pragma once

#include <string>

namespace asn1gen {

// The whole content of a file; throws std::runtime_error when it cannot be read.
std::string read_file(const std::string& path);

// Writes text to path unless the file already holds exactly that text, so that a rerun of the
// generator leaves unchanged outputs, and what is built from them, alone. Creates missing
// parent directories; throws std::runtime_error when the file cannot be written.
void write_if_changed(const std::string& path, const std::string& text);

}  // namespace asn1gen
