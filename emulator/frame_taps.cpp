#include "emulator/frame_taps.h"

#include "emulator/open_file.h"

#include <string>
#include <vector>

namespace Emulator {

RequestType FrameTaps::request()
{
    return {tap_code, "tap", DeviceLink::Argument::value, 0, {"channel"}, [this](Call& call) {
                taps_[&call.file] = static_cast<int32_t>(call.value);
                return Answer{};
            }};
}

void FrameTaps::from_daemon(const std::function<bool(int32_t)>& reaches, const uint8_t* data, size_t size) const
{
    for (const auto& [tap, channel] : taps_)
        if (reaches(channel))
            tap->push(std::vector<uint8_t>(data, data + size));
}

Written FrameTaps::written_by_tap(const OpenFile& tap, const OpenFile* channel)
{
    return {"tap", "file=" + std::to_string(tap.id()) + " to=" + (channel ? std::to_string(channel->id()) : "none"),
            false};
}

}  // namespace Emulator
