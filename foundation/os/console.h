#pragma once

// Switches of the standard input's terminal. Failures are written to the error stream.
namespace Console {

// Raw input: no line editing and no echo; the signal keys keep working.
void SwitchToBinaryMode();
void SwitchToNonBlockMode();

}  // namespace Console
