#pragma once

// What the reactor calls in a radio control: readiness of its header-extension session, and the
// periodic status work of its timer, which answers the delay to the next run in milliseconds.

namespace RTPSignalling {

class IRadioIntController {
public:
    virtual ~IRadioIntController() = default;

    virtual void OnRtpExtEvent(int, short) { }
    virtual unsigned long ProcessRadioStatus(unsigned long, unsigned long interval) { return interval; }
};

}  // namespace RTPSignalling
