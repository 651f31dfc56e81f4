#pragma once

// One frame channel of the board's multi-channel HDLC controller "/dev/mcc/ctl". Its owner (a
// signalling slot) sets the line's trunk, time slots and mode and the object to notify, then
// activates it: the channel allocates a controller channel, asks which TDM time slot the
// controller gave it, and patches that time slot to the line time slot(s) through the TDM switch.
// Frames then travel whole, one write per frame out and one read per frame in, unchanged.

#include "foundation/reactor/event.h"
#include "hardware/generic_hdlc.h"

#include <cstdint>
#include <ostream>

class HDLC : public GenericHDLC {
public:
    class Notify {
    public:
        struct Cause {
            enum Type { read_failed = 0 };
        };

        virtual ~Notify() = default;
        virtual void on_hdlc_receive(Packet& frame) = 0;
        // The channel failed and has been deactivated.
        virtual void on_hdlc_error(Cause::Type cause) = 0;
        // The channel takes frames again: once after each activation and after each refused write.
        virtual void on_hdlc_ready() = 0;
    };

    HDLC();
    HDLC(const HDLC&) = delete;
    HDLC& operator=(const HDLC&) = delete;

    // Makes notify point at a process-wide object that ignores everything.
    void unbind();
    // Closes an active channel first; false (with a log line) when no channel could be set up.
    bool activate();
    // Closes the channel; the switch patches stay.
    void deactivate();

    // A null or empty frame is taken without a write. A frame refused because the driver is full
    // is dropped: the caller waits for on_hdlc_ready().
    bool hdlc_transmit(Packet& frame) override;
    bool is_open() const override { return static_cast<bool>(m_event.fd()); }
    bool is_ready() const override { return ready; }

    void on_event(int fd, short revents);
    void do_read();
    // "hdlc [<id>/<timeslot>]: "
    void PutHeader(std::ostream& out) const;

    bool ready = false;
    int32_t trunk = 0;
    uint32_t timeslot = 0;
    int32_t tdm_a = -1;
    int32_t tdm_b = -1;  // mode 2 transmits here
    int32_t mode = 0;    // 0 SS7 signalling link, 1 ISDN primary-rate D channel, 2 ISDN basic-rate D channel
    // Counters of the link's information report.
    uint32_t txSU = 0;        // frames written to the driver
    uint32_t txDiscard = 0;   // frames refused because the channel was closed
    uint32_t txError = 0;     // frames lost to a write error
    uint32_t txOverflow = 0;  // nothing counts into it
    uint32_t rxSU = 0;        // frames received and delivered
    uint32_t rxDropped = 0;   // frames received when no packet was left to hold them
    Event m_event;
    int32_t log = 0;  // the owner's log level; the channel does not read it
    uint32_t id = 0;
    Notify* notify;

private:
    // Allocates the controller channel on the opened device, patches it and starts polling.
    bool open_channel(int fd);
};
