// Fuzz target: the Q.931 trace decoder over arbitrary D-channel frames. The first byte picks the
// direction; the rest is the frame, in a heap block of exactly its size so that any read past its
// end is reported. The text goes into a heap block of exactly the trace buffer's size.
//
// Beyond "no crash, no sanitizer report": the text ends with its zero character inside the
// buffer, and a frame of at least three octets always gives a text.

#include "signalling/isdn/dlogframe.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<unsigned char> frame(data + 1, data + size);
    const std::unique_ptr<char[]> buffer(new char[ISDN::logbuf_size]);
    ISDN::LogText& text = *reinterpret_cast<ISDN::LogText*>(buffer.get());
    ISDN::dlogframe(frame.data(), frame.size(), data[0] & 1, text);
    const size_t length = strnlen(text, ISDN::logbuf_size);
    if (length == ISDN::logbuf_size || (frame.size() >= 3) != (length > 0))
        std::abort();
    return 0;
}
