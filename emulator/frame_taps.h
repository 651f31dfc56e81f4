#pragma once

// Test ends tapped onto the frame channels of a model, so that a real peer (libpri, libss7) can sit
// on the line of a channel the daemon drives. A test opens the device and asks "tap" with a switch
// channel: every frame the daemon then writes on a channel that reaches that switch channel also
// comes to the tap as a record to read, and every record the tap writes goes to the daemon on the
// first such channel. Tap traffic stays out of the journal: a line peer writes every few milliseconds.

#include "emulator/device_model.h"

#include <cstdint>
#include <functional>
#include <map>

namespace Emulator {

class FrameTaps {
public:
    // A test request, by value: the switch channel to tap.
    static constexpr uint32_t tap_code = 0x80044DF0;

    // The request the model defines on its device.
    RequestType request();
    bool is_tap(OpenFile& file) const { return taps_.count(&file) > 0; }
    // The switch channel a tap listens to.
    int32_t tapped(OpenFile& tap) const { return taps_.at(&tap); }
    // A frame the daemon wrote on a channel: to every tap whose switch channel it reaches.
    void from_daemon(const std::function<bool(int32_t tapped)>& reaches, const uint8_t* data, size_t size) const;
    // What a model answers for a record a tap wrote; `channel` is the daemon's open it went to, if any.
    static Written written_by_tap(const OpenFile& tap, const OpenFile* channel);
    void closed(OpenFile& file) { taps_.erase(&file); }

private:
    std::map<OpenFile*, int32_t> taps_;
};

}  // namespace Emulator
