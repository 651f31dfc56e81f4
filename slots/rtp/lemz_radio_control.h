#pragma once

// The radio control of the LEMZ radio slots: it keeps the radio state that the controller
// commands, sends it to the peer as LEMZ packets (sig_proto.h) in the header extensions of the
// slot's RTP stream, reports the packets it accepts from the peer to the controller as radio
// requests, and narrows the source filter to the sender that holds the PTT.
//
// This class holds the two states, the read loop's packets and the translations between packets,
// states and the controller's TERM messages. Which fields a command merges into which state, what
// a side sends and what it accepts are the side's rules: the gateway control
// (lemz_radio_gw_control.h) and the workstation control (lemz_radio_ws_control.h).

#include "slots/rtp/radio_control.h"
#include "slots/rtp/sig_proto.h"

#include "asn1/modules/TERM.h"

#include <cstdint>

namespace RTPSignalling {

// One radio state; `command` is the packet type it stands for, 0 or below the whole state.
struct LemzRadioState {
    int32_t command = 0;
    int32_t prio = 15;  // a lower number wins
    uint32_t ptt = 0;
    uint32_t transAddr = 0;  // network order
    uint32_t transSsrc = 0;
    char callerId[sig_proto_caller_id_size] = {};
    uint32_t bss = 0;
    uint32_t vadRx = 0;
    uint32_t vadTx = 0;
    uint32_t sql = 0;
    uint32_t sh = 0;
    uint32_t pwr = 0;
    uint32_t rv = 0;
    uint32_t resv = 0;
    uint32_t selcall = 0;
    uint32_t li = 0;
    int32_t remoteNo = 0;
    int32_t remoteCh = 0;
    int32_t channel = 0;
    float frequency = 0.0f;
    // -1: not set.
    int32_t squelshe = -1;
    int32_t rte = -1;
    int32_t standbyChannel = -1;
    int32_t standbyGroup = -1;
    int32_t standbyReceiver = -1;
    float quality = 0.0f;
    // The sender of a received packet, or the address a controller's command names.
    uint32_t sourceAddr = 0;  // network order
    uint32_t sourceSsrc = 0;
};

// The commands that carry the PTT: 1, 3, 9, 129, 130 and 133.
bool isPTTCommand(int command);
// Whether the command stands for the whole state.
bool isDefaultInitCommand(int command);

class LemzRadioControl : public RadioControl {
public:
    LemzRadioControl(int channel, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
    explicit LemzRadioControl(const rtp_ext_init_params& init);
    LemzRadioControl(int channel, Fd rtp, const rtp_attach_session_params& attach);

    // The controller's radio status merges into the commanded state, a radio command merges and
    // goes to the peer; false for another protocol's message.
    bool SendASNToChan(const TERM::RadioStatus& status) override;
    bool SendASNToChan(const TERM::RadioModifier& modifier) override;
    // The commanded squelch.
    bool GetSQU() override;
    void OnRtpExtEvent(int fd, short revents) override;

    // The side's rules: merge a state to be sent into the commanded state (0 when it is to be
    // sent), merge a received one into the reported state, whether a received one is accepted,
    // and the packet of a state (0 when the side sends it). Here: 0, 0, true and 0, doing nothing.
    virtual int PutProtoFromRadioToChan(const LemzRadioState& state);
    virtual int PutProtoFromChanToRadio(const LemzRadioState& state);
    virtual bool AccessFormChanToRadio(const LemzRadioState& state);
    virtual int EncodeProto(const LemzRadioState& state, sig_proto& record);

    // Reports a received packet that the side accepts, and narrows the source filter.
    void OnRtpProtoRXEvent(const sig_proto& record);
    // Sends the state's packet when the side's rules let it, and narrows the source filter.
    void SendRadioStateToChan(const LemzRadioState& state);
    // The write's result.
    int SendProtoToChan(sig_proto& record);

    static void DecodeProto(const sig_proto& record, LemzRadioState& state);
    // The radio request to the controller: the commanded status and the received command.
    static void EncodeASN(const LemzRadioState& commanded, const LemzRadioState& received,
                          TERM::RtpRadioRequest& request);
    static void EncodeStatusASN(const LemzRadioState& state, TERM::RtpRadioRequest& request);
    // The fields that the message carries; the others keep their values.
    static void DecodeASN(const TERM::LemzRadioStatus& status, LemzRadioState& state);
    static void DecodeASN(const TERM::LemzRadioModifier& modifier, LemzRadioState& state);

protected:
    // The packet of a state whose command lies from `first` to `last` (0), else -1.
    static int PackState(const LemzRadioState& state, sig_proto& record, uint32_t first, uint32_t last);
    // The merge of a command to the gateway (1 to 13), field by field of the command.
    static void MergeGatewayCommand(const LemzRadioState& from, LemzRadioState& into);
    // The merge of a report from the gateway (129 to 135): every header field and the report's body;
    // `withTrans` also takes the transmitter of a WM_TRANS.
    static void MergeGatewayReport(const LemzRadioState& from, LemzRadioState& into, bool withTrans);

    sig_proto current;
    sig_proto held;
    uint32_t lastFlagSend = 0;
    uint32_t lastChannelSend = 0;
    uint32_t lastRemoteSend = 0;
    uint32_t lastStandbySend = 0;
    // What the peer last reported, and what the controller last commanded and was last sent.
    LemzRadioState reported;
    LemzRadioState commanded;

private:
    void Init();
    // While the commanded PTT is on, only its transmitter is heard.
    void FollowTransmitter();
    // A status or command of this protocol merges into a copy of the commanded state, which is sent.
    template <class Message>
    bool SendLemz(const Message* message);
    int DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t address) override;
    bool PacketDiffers() const override;
    void HoldPacket() override;
    void HandlePacket() override;
};

}  // namespace RTPSignalling
