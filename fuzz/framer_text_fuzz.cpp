// Fuzz target: the text of an E1 framer's driver file as the monitoring service reads it, handed
// to the framer's text parser.
//
// Beyond "no crash, no sanitizer report": reading the same text again leaves the framer as the
// first reading did, and once a text has set the status, the framer is connected exactly when the
// status is not "No Carrier".

#include "monitoring/framer_data_holder.h"

#include <cstdlib>
#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FramerDataHolder framer(1, "/proc/driver/hdlc/peb22554/0");
    const auto snapshot = [](const FramerDataHolder& f) {
        return std::make_tuple(f.status(), f.connected(), f.signalLoss(), f.frameAlignLoss(), f.negativeSlips(),
                               f.positiveSlips());
    };
    std::vector<unsigned char> text(data, data + size);
    framer.setFramerStatus(text);
    const auto first = snapshot(framer);
    framer.setFramerStatus(text);
    if (snapshot(framer) != first)
        std::abort();
    if (framer.status() != "absent" && framer.connected() != (framer.status() != "No Carrier"))
        std::abort();
    return 0;
}
