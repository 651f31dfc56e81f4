#include "fuzz/message_shape.h"

#include <iterator>

namespace Shape {

namespace {

using ASN1::AbstractData;
using ASN1::detail::Allocator;
using Info = const AbstractData::InfoType*;

const Info null = &ASN1::Null::theInfo;
using Slot = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023u>;
using Port = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65535u>;
using Ssrc = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u>;
using Ttl = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 1, 255u>;

template <std::size_t N>
constexpr ASN1::ENUMERATED::InfoType enumeration(bool extendable, int max, const char* const (&names)[N])
{
    return {{&Allocator<ASN1::ENUMERATED>::create, 0x0a}, extendable, max, names, N};
}

template <std::size_t N>
constexpr ASN1::CHOICE::InfoType choiceOf(bool extendable, const Info (&infos)[N], const char* const (&names)[N])
{
    return {{&Allocator<ASN1::CHOICE>::create, 0}, extendable, infos, N, N, nullptr, names};
}

template <std::size_t N>
constexpr ASN1::SEQUENCE::InfoType sequenceOf(bool extendable, const Info (&infos)[N], const int (&ids)[N],
                                               unsigned optional, const char* const (&names)[N])
{
    return {{&Allocator<ASN1::SEQUENCE>::create, 0x10}, extendable, infos, ids, N, 0, optional, nullptr, nullptr, names};
}

const char* const errorCauseNames[] = {"invalidParams",     "insufficientResources", "invalidSlot",   "slotNotExists",
                                       "unexpectedMsgType", "internal",              "unsupported",   "reconnectionFail",
                                       "disconnectFail",    "connectFail",           "busError",      "slotIdBusy",
                                       "destroyInProgress"};
const char* const trunkModeNames[] = {"slave", "master"};
const char* const payloadNames[] = {"ptG711-Alaw", "ptG711-Ulaw", "ptG723", "ptG729"};
const char* const dscpNames[] = {"cs0", "le", "cs1=8", "af11=10", "ef=46", "cs7=56", "count=23"};

const Info trunkCfgInfos[] = {&ASN1::INTEGER::theInfo, &TrunkMode};
const int trunkCfgIds[] = {-1, -1};
const char* const trunkCfgNames[] = {"trunk", "mode"};

const Info hostInfos[] = {&ASN1::IA5String::theInfo, &Port::theInfo};
const int hostIds[] = {-1, -1};
const char* const hostNames[] = {"iaddr", "port"};

const Info jitterInfos[] = {&ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo};
const int jitterIds[] = {-1, -1};
const char* const jitterNames[] = {"start", "max"};

const Info rtpInfos[] = {&Payload,  &HostAddress,           &HostAddress,           &Dname,
                         &RtpJitter, &ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo, &ASN1::BOOLEAN::theInfo,
                         &Ssrc::theInfo, &Ttl::theInfo,       &IpQoSDSCP};
const int rtpIds[] = {-1, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
const char* const rtpNames[] = {"payload", "dhost", "shost", "dname", "jitter", "pfactor",
                                "crate",   "vad",   "ssrc",  "ttl",   "qos-dscp"};

const Info createRtpInfos[] = {&RtpParams, &Payload, &Payload};
const int createRtpIds[] = {-1, -1, -1};
const char* const createRtpNames[] = {"codecRTP", "txPayload", "rxPayload"};

const Info createInfos[] = {null, null, null, null, &CreateRtpParams, null, null, null, null, null,
                            null, null, null, null, null,             null, null, null, null, null};
const char* const createNames[] = {"mixerOut", "mixerIn", "rtpOnMixer", "voice", "rtp",     "modem",      "pstn",
                                   "trunk",    "trunk_bri", "map",     "ext",   "mcc",     "echo",       "t38soft",
                                   "isdn",     "hdlcParams", "spi-tdm", "ats-qsig", "ats-qsig-b", "usb-tdm"};

const Info commandInfos[] = {null, null, &Slot::theInfo, null, &CreateParams, null, null, null,
                             &ASN1::OCTET_STRING::theInfo, null, &TrunkCfg, null, null, null, null};
const char* const commandNames[] = {"query",    "testBpc", "connect", "disconnect", "create",
                                    "destroy",  "activate", "deactivate", "userData", "ioctl",
                                    "trunkCfg", "clockCfg", "ping",    "display",    "protoLemz"};

const Info responseInfos[] = {null, &ErrorCause};
const char* const responseNames[] = {"success", "error"};

const Info signalInfos[] = {null, null, &ASN1::IA5String::theInfo, null, null, null, null, &ASN1::INTEGER::theInfo,
                            &ASN1::OCTET_STRING::theInfo, null, null, null, null, null, null, null,
                            null, null, null, null, null, null, null};
const char* const signalNames[] = {"query",       "tonec",    "number",  "modemProceeding", "modemInformation",
                                   "activated",   "deactivated", "abort", "userData",       "receiver",
                                   "transmitter", "trunkStatus", "ioctl", "loadAvg",        "cas",
                                   "rtpExt",      "vad",      "power",   "protoLemz",       "sd",
                                   "bss",         "rtp",      "selcal"};

const Info pduInfos[] = {&Command, &Response, &Signal};
const char* const pduNames[] = {"command", "response", "signal"};

const Info messageInfos[] = {&ASN1::INTEGER::theInfo, &Slot::theInfo, &PDU};
const int messageIds[] = {0, 1, -1};
const char* const messageNames[] = {"seq", "slot", "pdu"};

}  // namespace

const ASN1::ENUMERATED::InfoType ErrorCause = enumeration(true, 12, errorCauseNames);
const ASN1::ENUMERATED::InfoType TrunkMode = enumeration(false, 1, trunkModeNames);
const ASN1::ENUMERATED::InfoType Payload = enumeration(false, 3, payloadNames);
const ASN1::ENUMERATED::InfoType IpQoSDSCP = enumeration(false, 56, dscpNames);
const ASN1::AbstractString::InfoType Dname = {
    {{&Allocator<ASN1::IA5String>::create, 0x16}, ASN1::FixedConstraint, 1, 64}, ASN1::IA5StringSet.data(), 128, 7, 7, 8};

const ASN1::SEQUENCE::InfoType TrunkCfg = sequenceOf(false, trunkCfgInfos, trunkCfgIds, 0, trunkCfgNames);
const ASN1::SEQUENCE::InfoType HostAddress = sequenceOf(false, hostInfos, hostIds, 0, hostNames);
const ASN1::SEQUENCE::InfoType RtpJitter = sequenceOf(false, jitterInfos, jitterIds, 0, jitterNames);
const ASN1::SEQUENCE::InfoType RtpParams = sequenceOf(true, rtpInfos, rtpIds, 9, rtpNames);
const ASN1::SEQUENCE::InfoType CreateRtpParams = sequenceOf(true, createRtpInfos, createRtpIds, 0, createRtpNames);
const ASN1::SEQUENCE::InfoType Message = sequenceOf(false, messageInfos, messageIds, 2, messageNames);

const ASN1::CHOICE::InfoType CreateParams = choiceOf(true, createInfos, createNames);
const ASN1::CHOICE::InfoType Command = choiceOf(true, commandInfos, commandNames);
const ASN1::CHOICE::InfoType Response = choiceOf(false, responseInfos, responseNames);
const ASN1::CHOICE::InfoType Signal = choiceOf(true, signalInfos, signalNames);
const ASN1::CHOICE::InfoType PDU = choiceOf(false, pduInfos, pduNames);

}  // namespace Shape
