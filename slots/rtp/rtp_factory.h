#pragma once

// The factory of plain RTP slots ("RTP"): it takes the create alternative `rtp` when the RTP
// parameters carry no radio block, and reports the board's RTP channels per codec, as the voice
// driver "/dev/voice" counts them, in the resource query.
//
// The radio factories build on it: the creation procedure (RTCP socket, session begun and its
// channel added, the slot built by the caller's maker, RTCP started, echo and radio settings
// applied), the channel counts and the log header are shared; a radio factory names its own
// header and owns the requests whose radio block carries its protocol.

#include "server/slot_factory.h"

#include "asn1/modules/LGCP.h"
#include "board/device_names.h"
#include "foundation/os/fd.h"

#include <cstdint>
#include <functional>
#include <iosfwd>

class RtpSlot;

class RtpFactory : public SlotFactory {
public:
    static RtpFactory* instance();

    const char* GetName() const override { return "RTP"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // Queries the counts anew and reports them.
    void Query(LGCP::Resources& resources) override;
    // The channel counts from the voice driver; counts it does not answer stay 0.
    void IQuery();

    // The RTP payload type of a codec; 0 for G.711 µ-law and every codec without its own.
    static uint16_t translateCodec(TERM::Payload::NamedNumber payload);
    // `mode` in place of `payload` only when it is a plain G.711 different from it.
    static uint16_t translateCodec(TERM::Payload::NamedNumber payload, TERM::Payload::NamedNumber mode);

    // "<name>[<g723>,<g729>,<g711>,<universal>]: "
    void PutHeader(std::ostream& out) const;

protected:
    // Builds the slot of a begun session from the channel the driver added, the factory's session
    // descriptor (the slot keeps its own duplicate) and the record; null declines the request.
    using SlotMaker = std::function<RtpSlot*(int channel, Fd session, const rtp_connection_params& params)>;

    // `name` starts the log header.
    explicit RtpFactory(const char* name);

    // The creation common to the RTP factories, for a request the factory owns: logs `what` and the
    // RTP parameters, refuses those that no session can carry (a host that is no IPv4 address, an
    // RTP port without an RTCP port above it, a packet factor wider than 16 bits), then opens the
    // RTCP socket (with the smallest receive buffer: it is never read) and the session, begins it,
    // adds its channel with the BSS flag, has `make` build the slot, starts its RTCP and applies
    // the echo and radio settings. Every failure is logged, closes what was opened and declines
    // the request.
    RtpSlot* Create(const LGCP::CreateRtpParams& request, const char* what, uint32_t bss, const SlotMaker& make);

private:
    struct Counts {
        int g729 = 0;
        int g723 = 0;
        int g711 = 0;
        int g711mcc = 0;
        int universal = 0;
    };

    const char* name_;
    Counts counts_;
};
