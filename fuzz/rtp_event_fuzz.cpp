// Fuzz target: what the RTP devices hand the daemon to read: the event records of "/dev/rtp", as an
// RTP slot reads them, and the header-extension payloads of "/dev/rtp_ext", as the read loop of
// the radio controls reads them. The input's first octet picks the device; the rest is cut into
// records (a length octet, counted in octets or, for the extension device with the second bit
// set, in eights of them, then that many octets, zeros past the input's end), which are sent one
// per message into a socket pair whose other end the slot or the control reads, so short, empty,
// long and oversized records all reach the real reading code.
//
// Beyond "no crash, no sanitizer report": only whole 36-byte event records are acted on, and every
// payload that decodes is handled once, in order: the socket pair answers no packet-information
// request, so no sender is known and no payload is taken for a repeat of the one before.

#include "slots/rtp/radio_control.h"
#include "slots/rtp/rtp_slot.h"

#include <algorithm>
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

// Where the log lines go; the slot's event lines are counted there.
std::ostringstream discarded;

// A protocol of the fuzzer's own: a payload decodes unless its first octet is odd, and packets are
// equal when their first octets are.
class Control : public RTPSignalling::RadioControl {
public:
    explicit Control(int fd) : RadioControl(rtp_ext_init_params{}) { ext = fd; }
    ~Control() override { ext = Fd(); }

    // One pass of the read loop: every packet that decoded is handled.
    void Read()
    {
        decoded.clear();
        handled.clear();
        ReadPackets(POLLIN);
        require(handled == decoded);
    }

private:
    int DecodePacket(const uint8_t* payload, int, uint32_t, uint32_t) override
    {
        current = static_cast<char>(payload[0]);
        decoded += payload[0] & 1 ? "" : std::string(1, current);
        return payload[0] & 1;
    }
    bool PacketDiffers() const override { return held != current; }
    void HoldPacket() override { held = current; }
    void HandlePacket() override { handled += held; }

    std::string decoded, handled;  // the first octets of the packets
    char current = 0, held = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // No device is found under an empty root: the control's own session stays closed.
    setenv("TOVRASEL_ROOT", "/nonexistent/tovrasel-fuzz-root", 1);
    std::cerr.rdbuf(discarded.rdbuf());
    std::clog.rdbuf(discarded.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool extension = data[0] & 1;
    int pair[2];
    require(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
    size_t whole = 0;
    for (size_t at = 1; at < size;) {
        std::vector<uint8_t> record(data[at++] * (extension && (data[0] & 2) ? 8 : 1));
        std::copy_n(data + at, std::min(record.size(), size - at), record.begin());
        at += std::min(record.size(), size - at);
        if (send(pair[1], record.data(), record.size(), MSG_NOSIGNAL) < 0)
            break;
        whole += record.size() == 36 && record[0] == 0 && record[1] == 0 && record[2] == 0 && record[3] == 1;
    }
    if (extension) {
        Control control(pair[0]);
        // Every pass ends at the first empty or missing payload; the next report starts another.
        for (size_t pass = 0; pass <= size; ++pass)
            control.Read();
    } else {
        RtpSlot(512, pair[0], rtp_connection_params()).OnRtpEvent(pair[0], POLLIN);
        const std::string log = discarded.str();
        size_t events = 0;
        for (size_t found = log.find(" type=1\n"); found != std::string::npos; found = log.find(" type=1\n", found + 1))
            ++events;
        require(events <= whole);
    }
    close(pair[0]);
    close(pair[1]);
    discarded.str("");
    return 0;
}
