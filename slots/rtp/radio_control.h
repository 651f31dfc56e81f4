#pragma once

// The protocol-independent base of the radio controls: a header-extension session of the driver
// "/dev/rtp_ext" beside the slot's RTP session, through which radio signalling travels in the RTP
// header extensions, one payload per read or write. The base opens, initialises and attaches the
// session and closes it, reads bursts of received payloads (the protocol decodes and compares
// them), writes payloads, narrows the accepted sender with the source filter, runs the periodic
// status timer, keeps statistics and builds the log prefix.
//
// Three construction forms: 0, an extension session of its own attached to the RTP session named
// by the attach record; 1, no session of its own, the extension attached on the RTP device itself
// to a session that another process holds; 2, a session of its own without attach.

#include "slots/rtp/i_radio_control_notify.h"
#include "slots/rtp/i_radio_controller.h"
#include "slots/rtp/i_radio_int_controller.h"

#include "board/device_names.h"
#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"
#include "foundation/util/inet4_addr.h"

#include <array>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace RTPSignalling {

class RadioControl : public IRadioController, private IRadioIntController {
public:
    enum RadioControlType { ExtSessionAttached = 0, RtpDeviceAttached = 1, ExtSessionOnly = 2 };

    // The largest payload read or written.
    static constexpr size_t max_payload = 1024;

    // Form 0: opens its session and attaches it to the RTP session.
    RadioControl(int channel, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
    // Form 2: opens its session without attach; no channel.
    explicit RadioControl(const rtp_ext_init_params& init);
    // Form 1: attaches the extension on the RTP device, through its own duplicate of `rtp`.
    RadioControl(int channel, Fd rtp, const rtp_attach_session_params& attach);
    // Issues no detach: the slot has stopped the session before.
    ~RadioControl() override;

    // Form 0: logs "receive extension packet(s)!" when there is something to read and trace is on.
    void OnRtpExtEvent(int fd, short revents) override;
    unsigned long ProcessRadioStatus(unsigned long now, unsigned long interval) override;

    // Starts the extension: form 0 opens, initialises and attaches its session and watches it, form
    // 1 attaches on the RTP device, form 2 opens and initialises only when `initial`; a session
    // opened anew gets the source filter that is set. False after logging the first failure.
    bool RtpExtStart(bool initial);
    // Form 0 detaches and closes its session; the others have nothing to stop.
    bool RtpExtStop();
    // The RTP session to attach to from now on, after the slot replaced it: form 0 names its
    // descriptor in the attach record, form 1 attaches through a duplicate of it.
    void UpdateRtpSession(Fd session);

    // Takes effect at the next arming.
    void SetTimerInterval(unsigned long ms) { statusInterval = static_cast<uint32_t>(ms); }
    void SetTimerEnable(bool enable);
    void SetTimer(unsigned long ms);
    // The status timer's expiry: runs ProcessRadioStatus and re-arms with its delay.
    void OnProcessStatus(Timer*);

    // Accepts packets from the one address (`set`) or from every sender. The filter state changes
    // only when the driver takes the request, so that a refused one is asked again. Always false.
    bool UpdateAccess(bool set, const in_addr& address);

    void SetNotify(IRadioControlNotify* target) { notify = target; }
    void SetTrace(bool on) { trace = on; }
    // Whether a packet sent on a command does not count as the periodic packet of its kind.
    void SetKeepAliveSuppressed(bool suppressed) { keepAliveSuppressed = suppressed; }

    // "rtp_ext[<channel>] <time>:", or "rtp_ext <time>:" for form 2.
    const std::string& GetPrefix();

protected:
    struct Statistics {
        uint32_t infoAnswered = 0;
        uint32_t decoded = 0;
        uint32_t written = 0;
        uint32_t bytesRead = 0;
        uint32_t bytesWritten = 0;
        int32_t lastPackError = 0;
        int32_t lastDecodeError = 0;
        int infoErrno = 0;
        int readErrno = 0;
        int writeErrno = 0;
    };

    // The read loop of the protocol controls: every payload waiting is decoded; a run of packets
    // that the protocol finds equal is handled once, as its last one, and a change hands the
    // earlier packet on at once. A payload whose packet information the driver did not give is
    // decoded with SSRC and address 0 and handled on its own.
    void ReadPackets(short revents);
    // Decodes one payload from the sender (SSRC, address in network order) into the protocol's
    // current packet: 0, or the decoder's error code.
    virtual int DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t address) = 0;
    // Whether the held packet and the current one differ.
    virtual bool PacketDiffers() const = 0;
    // The current packet becomes the held one.
    virtual void HoldPacket() = 0;
    // Hands the held packet on.
    virtual void HandlePacket() = 0;

    // Writes a payload that the protocol packed into `length` bytes; a length below 1 is its
    // packing error and nothing is written. The write's result.
    int WritePacket(const uint8_t* payload, int length);

    RadioControlType type;
    Fd rtp;
    Fd ext;
    Event readEvent;
    Timer statusTimer;
    rtp_attach_session_params rtpAttach;
    rtp_ext_attach_session_params extAttach;
    rtp_ext_init_params extInit;
    // SSRC, source address and a third word of the next packet.
    std::array<uint8_t, 12> packetInfo{};
    uint32_t keepAliveSuppressed = 0;
    Statistics statistics;
    uint32_t lastActivity = 0;
    uint32_t statusInterval = 1000;
    unsigned long channel = 0;
    bool trace = false;
    bool timerEnabled = false;
    bool filterSet = false;
    // The accepted address in network order, then a zero word.
    std::array<uint8_t, 8> filter{};
    IRadioControlNotify* notify = nullptr;
    std::string prefix;
    INet4::Addr ownAddress;

private:
    void Init(RadioControlType form);
    // The source filter request; false after logging the driver's refusal.
    bool RequestFilter(std::array<uint8_t, 8> record);
};

}  // namespace RTPSignalling
