// Fuzz target: the event records of the tone device and the DSP device, as the receiver services
// read and dispatch them. The input is cut into records (a length byte, then that many bytes),
// which are sent one per message into a socket pair whose other end the services read, so reads
// shorter and longer than a record, empty records and an end of file all reach the real reading
// code; the records go to a few receivers on a few time slots (two of them on one).
//
// No device is needed: the services stay closed (their device is not found under an empty root),
// which leaves every DSP receiver's VAD and SD state "not yet known", so that VAD, SD, tone-filter
// and flags events are delivered. Delivering a DTMF event takes an enabled detector, which takes
// the device: the tone records exercise the reading, the decoding and the refusals only.
//
// Beyond "no crash, no sanitizer report": no record shorter than its full size is ever delivered,
// so the deliveries never outnumber the whole records sent.

#include "hardware/dsproc_receiver.h"
#include "hardware/dsproc_receiver_service.h"
#include "hardware/tonec_receiver.h"
#include "hardware/tonec_receiver_service.h"
#include "server/trace_ctl.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

size_t deliveries = 0;

// Where the services' log lines go.
std::ostringstream discarded;

class ToneReceiver : public Hardware::TonecReceiver {
public:
    explicit ToneReceiver(int timeslot) : timeslot_(timeslot) {}
    void tonec_event(const Params&) override { ++deliveries; }
    int tonec_timeslot() const override { return timeslot_; }

private:
    int timeslot_;
};

class DspReceiver : public Hardware::DSProcReceiver {
public:
    explicit DspReceiver(int timeslot) : timeslot_(timeslot) {}
    void dsproc_vad_event(const Hardware::DSProcVADEvent&) override { ++deliveries; }
    void dsproc_bss_event(const ::dsproc_bss_event*) override { ++deliveries; }
    void dsproc_sd_event(const Hardware::DSProcSDEvent&) override { ++deliveries; }
    void dsproc_tone_flt_event(const dsproc_tone_event*) override { ++deliveries; }
    void dsproc_flags_event(const ::dsproc_flags_event*) override { ++deliveries; }
    int dsproc_timeslot() const override { return timeslot_; }

private:
    int timeslot_;
};

// Sends the input's records into a fresh socket pair and has the handler read them all; returns
// how many whole records of `size` bytes were sent.
template <class Handler>
size_t feed(const uint8_t* data, size_t length, size_t size, bool end_of_file, Handler handler)
{
    int pair[2];
    require(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
    size_t whole = 0, sent = 0;
    for (size_t at = 0; at < length;) {
        size_t announced = data[at++];
        size_t record = std::min(announced, length - at);
        if (send(pair[1], data + at, record, MSG_NOSIGNAL) < 0)
            break;
        whole += record >= size;
        ++sent;
        at += record;
    }
    if (end_of_file)
        shutdown(pair[1], SHUT_WR);
    // A short record or an empty one ends a pass; the next report starts another.
    for (size_t pass = 0; pass <= sent; ++pass)
        handler(pair[0]);
    close(pair[0]);
    close(pair[1]);
    return whole;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The services look for their devices under an empty root and stay closed.
    setenv("TOVRASEL_ROOT", "/nonexistent/tovrasel-fuzz-root", 1);
    std::cerr.rdbuf(discarded.rdbuf());
    std::clog.rdbuf(discarded.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    uint8_t flags = data[0];
    traces.events = flags & 1;
    bool end_of_file = flags & 2;
    bool dsp = flags & 4;

    deliveries = 0;
    size_t whole;
    if (dsp) {
        DspReceiver first(1), second(2), third(2);
        whole = feed(data + 1, size - 1, 24, end_of_file,
                     [](int fd) { Hardware::DSProcReceiverService::instance()->OnEvent(fd, POLLIN); });
    } else {
        ToneReceiver first(1), second(2), third(2);
        whole = feed(data + 1, size - 1, 16, end_of_file,
                     [](int fd) { Hardware::TonecReceiverService::instance()->OnEvent(fd, POLLIN); });
    }
    require(deliveries <= whole);
    discarded.str("");
    return 0;
}
