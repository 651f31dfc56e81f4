#pragma once

// The ED-137 radio control: the radio state that the controller commands, sent towards the voice
// system in rx-form payloads, and the state last received from the voice system in tx-form
// payloads (PTT commands), with the translations between these states, the payloads and the
// controller's ED-137 radio messages. What is accepted from the voice system and how a state
// becomes a payload are the rules of the side the control serves (ED137RadioGWControl).

#include "slots/rtp/ed137_radio_params.h"
#include "slots/rtp/r2s_proto.h"
#include "slots/rtp/radio_control.h"

#include <cstdint>

namespace RTPSignalling {

// A radio state: the header fields as numbers, the signal quality, and the address (network order)
// and SSRC of the voice system it comes from or goes to.
struct ED137RadioState {
    static constexpr uint32_t header = 0x0001;
    static constexpr uint32_t sqi = 0x0002;
    static constexpr uint32_t rx_form = 0x1000;
    static constexpr uint32_t tx_form = 0x2000;
    static constexpr uint32_t forms = 0xF000;

    uint32_t flags = 0;
    uint32_t pttType = 0;  // TERM::ED137RadioPTT
    uint32_t squ = 0;
    uint32_t pttId = 0;
    uint32_t pm = 0;
    uint32_t ptts = 0;
    uint32_t sct = 0;
    uint32_t sqiMethod = 0;   // TERM::ED137RadioBSSMethod
    uint32_t sqiQuality = 0;  // 0..31
    uint32_t address = 0;
    uint32_t ssrc = 0;

    bool IsEqual(const ED137RadioState& other) const;
    uint32_t Form() const { return flags & forms; }
    bool HasSQI() const { return (flags & (rx_form | sqi)) == (rx_form | sqi); }
};

class ED137RadioControl : public RadioControl {
public:
    // The construction forms of the radio control base.
    ED137RadioControl(int channel, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
    explicit ED137RadioControl(const rtp_ext_init_params& init);
    ED137RadioControl(int channel, Fd rtp, const rtp_attach_session_params& attach);

    void SetParams(const ED137RadioParams& radio) { params = radio; }

    // The controller's radio state, sent in the rx form.
    bool SendASNToChan(const TERM::RadioStatus& status) override;
    // The controller's rx or tx command for the voice system at the given address.
    bool SendASNToChan(const TERM::RadioModifier& modifier) override;
    bool GetSQU() override { return toNetwork.squ != 0; }
    void OnRtpExtEvent(int fd, short revents) override;

    // The state becomes the one towards the network, or the one received from it; its signal
    // quality only when it carries one. 0.
    virtual int PutProtoFromRadioToChan(const ED137RadioState& state);
    virtual int PutProtoFromChanToRadio(const ED137RadioState& state);
    // Whether a state received from the voice system is taken.
    virtual bool AccessFormChanToRadio(const ED137RadioState& state) = 0;
    // The payload record of a state: 0, or -1 for a state of no form or of both.
    virtual int EncodeProto(const ED137RadioState& state, r2s_proto& proto) = 0;

protected:
    // The code reported when the voice system has fallen silent.
    static constexpr int silence_code = 151;

    // A packet from the voice system, translated and reported to the controller unless it is not
    // taken or repeats the last one within a status interval.
    void OnRtpProtoRXEvent(const r2s_proto& packet);
    // A commanded state: sent when it is news (or whenever the settings ask for every command),
    // and the source filter narrowed to the voice system holding PTT.
    void SendRadioStateToChan(const ED137RadioState& state);
    bool NeedSendProto(const ED137RadioState& state) const;
    // Packs the record and writes the payload.
    void SendProto(r2s_proto& proto);
    // Milliseconds from `since` to `now` on the wrapping clock; 0 when `since` is not earlier.
    static uint32_t Elapsed(uint32_t since, uint32_t now)
    {
        return static_cast<int32_t>(now - since) > 0 ? now - since : 0;
    }

    ED137RadioParams params;
    r2s_proto current{};
    r2s_proto held{};
    r2s_proto outgoing{};
    uint32_t lastKeepAliveSend = 0;
    uint32_t lastReport = 0;
    uint32_t lastReceive = 0;
    ED137RadioState fromNetwork;
    ED137RadioState toNetwork;

private:
    void Init();

    int DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t address) override;
    bool PacketDiffers() const override { return cmp_r2s_proto_source(&held, &current) != 0; }
    void HoldPacket() override { held = current; }
    void HandlePacket() override { OnRtpProtoRXEvent(held); }
};

}  // namespace RTPSignalling
