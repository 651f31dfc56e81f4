// The hardware watchdog "/dev/misc/gw-wd": the daemon writes "START" when its loop begins, "PING"
// at least once a second and "STOP" when it ends. Each write is journalled with its time, so a test
// can check the pace of the pings.

#include "emulator/device_model.h"

namespace Emulator {

namespace {

class Watchdog : public DeviceModel {
public:
    Watchdog() : DeviceModel("/dev/misc/gw-wd") {}

    Written write(OpenFile&, const uint8_t* data, size_t size) override
    {
        std::string word(reinterpret_cast<const char*>(data), size);
        if (word == "START")
            running_ = true;
        else if (word == "PING")
            ++pings_;
        else if (word == "STOP")
            running_ = false;
        else
            return {};
        started_ = started_ || running_;
        return {word, ""};
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        const char* phase = running_ ? "running" : started_ ? "stopped" : "idle";
        lines.push_back(std::string(phase) + " pings=" + std::to_string(pings_));
        return true;
    }

private:
    bool started_ = false;
    bool running_ = false;
    unsigned long pings_ = 0;
};

const DeviceModel::Registration<Watchdog> registration;

}  // namespace

}  // namespace Emulator
