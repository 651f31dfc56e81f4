#pragma once

// A board description file: what the emulated board is fitted with, applied before the board
// serves anyone. One item per line; empty lines and lines starting with '#' say nothing.
//
//   set <device> <words>         a model's setting, as the test control's "set" takes it
//   absent <device>              the device is not fitted: its opens fail with ENOENT
//   fail <device> <code> <errno> [<count>]   the test control's injected errno, from the start
//   text <path> <text>           adds the text and a newline to a file of the board (the path as
//                                the daemon names it, kept under the root); the text starts after
//                                the one space that follows the path, so that spaces in it count
//   bytes <path> <hex>[*<count>] adds the bytes, repeated <count> times, to a file of the board
//
// The first "text" or "bytes" of a path empties the file.

#include <string>

namespace Emulator {

class Board;

// Applies the file to the board, writing its files under the root. Throws std::runtime_error
// with "<file>:<line>: <reason>" for the first line that cannot be applied.
void apply_board_description(const std::string& file, Board& board, const std::string& root);

}  // namespace Emulator
