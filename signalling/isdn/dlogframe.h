#pragma once

// Trace text of one D-channel frame: the Q.921 address and control, and for Q.931 frames the call
// reference, message type and information elements. The data links render every frame they
// receive and send into the shared buffer at log level 3 and write it out at once.

namespace ISDN {

constexpr unsigned logbuf_size = 1024;
using LogText = char[logbuf_size];

// Shared by every data link; each rendering overwrites it from the start.
extern LogText logbuf;

// Renders the frame into text, ended by a zero character; what does not fit is left out. Only
// the frame's octets are read. network_to_user gives the direction shown.
void dlogframe(const unsigned char* frame, unsigned length, bool network_to_user, LogText& text);

}  // namespace ISDN
