#pragma once

// An RTP media slot: its media runs as a session of the RTP driver "/dev/rtp", which moves the RTP
// packets itself and offers the session to the TDM switch as one channel, the slot's transmit and
// receive channel. The slot starts and stops the session's input with its stream, passes the
// driver's PD events to the controller, sends the session's RTCP description at creation and its
// goodbye at the end from a UDP socket of its own, and serves the tone and DSP features of its
// channel through the receivers it inherits.
//
// The slot keeps its own duplicates of the session and RTCP descriptors and closes them.

#include "board/device_names.h"
#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_receiver.h"
#include "server/slot.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"

#include <cstdint>
#include <iosfwd>
#include <netinet/in.h>
#include <optional>

namespace RTPC {
class Msg;
}

class RtpSlot : public Slot, private Hardware::TonecReceiver, private Hardware::DSProcReceiver {
public:
    // Takes a duplicate of the begun session and watches another one for driver events.
    RtpSlot(int channel, Fd session, const rtp_connection_params& params);
    // Sends the goodbye and switches off the tone and DSP features the slot switched on.
    ~RtpSlot() override;

    void IAfterCreate() override;
    // Tears the session down and floats the channel's switch output; the slot goes at once.
    bool IBeforeDestroy() override;
    bool Ioctl(const LGCP::IoctlParams& params) override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override;
    void IOnOutputRelease() override { }
    void IOnInputRelease() override;
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    const char* GetName() const override { return "rtp"; }

    void tonec_event(const Hardware::TonecReceiver::Params& params) override;
    int tonec_timeslot() const override { return channel; }
    void dsproc_vad_event(const Hardware::DSProcVADEvent& event) override;
    void dsproc_bss_event(const ::dsproc_bss_event* event) override;
    void dsproc_sd_event(const Hardware::DSProcSDEvent& event) override;
    void dsproc_tone_flt_event(const dsproc_tone_event* event) override;
    void dsproc_flags_event(const ::dsproc_flags_event* event) override;
    int dsproc_timeslot() const override { return channel; }

    // Keeps the peer and a duplicate of the socket (unless it is the slot's own) and sends the
    // source description.
    void startRTPC(Fd& socket, const sockaddr_in& peer);
    // One RTCP packet to the peer; the sendto() result, 0 when the message encodes to nothing.
    int send(const RTPC::Msg& message);
    void OnRtpEvent(int fd, short revents);
    bool enablePD(const LGCP::PDParams& params);
    bool disablePD();
    // Replaces the session by a new one begun with the kept record on the same channel; the old
    // session is torn down only once the new one runs, and stays when the new one cannot begin.
    // The new session takes over the event watch and the running input (not the PD events: see
    // ChangePayload).
    bool restart();
    // The payload type of a codec mode: A-law 8, µ-law 0, the low-rate codec of the creation.
    uint16_t translate_payload(const LGCP::CodecMode& mode) const;

    void PutHeader(std::ostream& out) const;

protected:
    friend class RtpFactory;

    // `transmit` picks the encoder's payload type, else the decoder's. A new session gets the PD
    // events enabled on the old one; false when it cannot begin or refuses them.
    bool ChangePayload(const LGCP::CodecMode& mode, bool transmit);

    const int channel;
    Fd session;
    Event sessionEvent;
    rtp_connection_params params;
    sockaddr_in rtcpPeer{};
    Fd rtcpSocket;
    bool inputStarted = false;
    // Set by a radio slot whose radio squelch decides when the input runs.
    bool inputGated = false;
    const uint16_t creationRxPayload;
    // The add-channel flag of the creation, which a restart passes again.
    uint32_t bssFlag = 0;

private:
    // The PD enable request with the timeout; false after logging the driver's refusal.
    bool requestPD(uint32_t timeout);

    // The timeout of the PD events that the session has enabled, none while they are off.
    std::optional<uint32_t> pdTimeout;
};
