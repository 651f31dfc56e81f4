#include "slots/rtp/rtp_factory.h"

#include "slots/rtp/rtp_driver.h"
#include "slots/rtp/rtp_slot.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <sys/socket.h>

namespace {

constexpr uint32_t voice_channels = 0x40045602;
// The voice driver's codec codes.
constexpr uint32_t code_g729 = 4;
constexpr uint32_t code_g723 = 2;
constexpr uint32_t code_g711 = 1;
constexpr uint32_t code_g711mcc = 8;
constexpr uint32_t code_universal = 65;

constexpr uint32_t no_type_of_service = 0xFFFFFFFF;

using Optional = TERM::RtpParams::Optional;
using RadioOptional = TERM::RtpRadioRequest::Optional;

bool supported(int payload)
{
    return (payload >= TERM::Payload::ptG711_Alaw && payload <= TERM::Payload::ptG711mcc_Ulaw) ||
        payload == TERM::Payload::ptG728;
}

// A source that two gateways started at the same moment do not share.
uint32_t random_ssrc()
{
    static std::mt19937 generator{std::random_device{}()};
    return static_cast<uint32_t>(generator());
}

// The dotted text in the forms inet_addr() reads, in host order; false for a text it cannot read,
// which inet_addr() would have taken for the broadcast address.
bool address_of(const TERM::HostAddress& host, uint32_t& address)
{
    in_addr parsed;
    if (inet_aton(host.get_iaddr().getValue().c_str(), &parsed) == 0)
        return false;
    address = ntohl(parsed.s_addr);
    return true;
}

// Why no session can carry the request's RTP parameters, empty when one can: a host that is no
// IPv4 address, an RTP port whose RTCP port (one above) is out of range, a packet factor wider than
// its 16-bit field.
std::string unusable(const TERM::RtpParams& rtp)
{
    std::ostringstream why;
    const std::pair<const char*, const TERM::HostAddress*> hosts[] = {
        {"dhost", &rtp.get_dhost()}, {"shost", rtp.hasOptionalField(Optional::shost) ? &rtp.get_shost() : nullptr}};
    for (auto [name, host] : hosts) {
        uint32_t address;
        if (host && !address_of(*host, address))
            why << name << ' ' << host->get_iaddr() << " is no IPv4 address";
        else if (host && (host->get_port().getValue() < 1 || host->get_port().getValue() > 65534))
            why << name << " port " << host->get_port().getValue() << " leaves RTCP no port";
        else
            continue;
        return why.str();
    }
    if (rtp.hasOptionalField(Optional::pfactor) &&
        (rtp.get_pfactor().getValue() < 0 || rtp.get_pfactor().getValue() > 65535))
        why << "pfactor " << rtp.get_pfactor().getValue() << " is out of 0..65535";
    return why.str();
}

// The session record of the request (the SSRC drawn when the controller gave none).
rtp_connection_params connection_params(const LGCP::CreateRtpParams& request)
{
    const TERM::RtpParams& rtp = request.get_codecRTP();
    const bool source = rtp.hasOptionalField(Optional::shost);
    const auto payload = static_cast<TERM::Payload::NamedNumber>(rtp.get_payload().getValue());
    rtp_connection_params params;
    uint8_t* record = params.bytes.data();
    // Addresses that do not parse were refused before.
    uint32_t remote = 0, local_address = 0;
    address_of(rtp.get_dhost(), remote);
    if (source)
        address_of(rtp.get_shost(), local_address);
    BigEndian::put_u32(record, RtpDriver::remote_address, remote);
    BigEndian::put_u16(record, RtpDriver::remote_port, static_cast<uint16_t>(rtp.get_dhost().get_port().getValue()));
    BigEndian::put_u32(record, RtpDriver::local_address, local_address);
    const TERM::HostAddress& local = source ? rtp.get_shost() : rtp.get_dhost();
    BigEndian::put_u16(record, RtpDriver::local_port, static_cast<uint16_t>(local.get_port().getValue()));
    BigEndian::put_u16(record, RtpDriver::rx_payload,
                       RtpFactory::translateCodec(
                           payload, static_cast<TERM::Payload::NamedNumber>(request.get_rxPayload().getValue())));
    BigEndian::put_u16(record, RtpDriver::tx_payload,
                       RtpFactory::translateCodec(
                           payload, static_cast<TERM::Payload::NamedNumber>(request.get_txPayload().getValue())));
    if (rtp.hasOptionalField(Optional::pfactor))
        BigEndian::put_u16(record, RtpDriver::packet_factor, static_cast<uint16_t>(rtp.get_pfactor().getValue()));
    BigEndian::put_u8(record, RtpDriver::vad, rtp.hasOptionalField(Optional::vad) && rtp.get_vad().getValue());
    BigEndian::put_u8(record, RtpDriver::crate,
                      rtp.hasOptionalField(Optional::crate) && rtp.get_crate().getValue() != 0);
    BigEndian::put_u32(record, RtpDriver::ssrc,
                       rtp.hasOptionalField(Optional::ssrc) ? rtp.get_ssrc().getValue() : random_ssrc());
    if (rtp.hasOptionalField(Optional::ttl))
        BigEndian::put_u32(record, RtpDriver::ttl, rtp.get_ttl().getValue());
    BigEndian::put_u32(record, RtpDriver::type_of_service,
                       rtp.hasOptionalField(Optional::qos_dscp)
                           ? (static_cast<uint32_t>(rtp.get_qos_dscp().getValue()) << 2) & 0xFC
                           : no_type_of_service);
    return params;
}

}  // namespace

RtpFactory* RtpFactory::instance()
{
    static RtpFactory factory("rtp");
    return &factory;
}

RtpFactory::RtpFactory(const char* name) : name_(name) { IQuery(); }

void RtpFactory::PutHeader(std::ostream& out) const
{
    out << name_ << '[' << counts_.g723 << ',' << counts_.g729 << ',' << counts_.g711 << ',' << counts_.universal
        << "]: ";
}

void RtpFactory::IQuery()
{
    counts_ = Counts();
    Fd voice = Device::open(GetVoiceDevName(), O_RDONLY);
    if (!voice) {
        std::cerr << ext::header(this) << "device " << ext::quoted(GetVoiceDevName())
                  << " open fail: " << std::strerror(errno) << std::endl;
        return;
    }
    for (auto [code, count] : {std::pair{code_g729, &counts_.g729},
                               {code_g723, &counts_.g723},
                               {code_g711, &counts_.g711},
                               {code_g711mcc, &counts_.g711mcc},
                               {code_universal, &counts_.universal}}) {
        int channels = Device::request_value(voice, voice_channels, code);
        if (channels > 0)
            *count = channels;
    }
    voice.close();
}

void RtpFactory::Query(LGCP::Resources& resources)
{
    IQuery();
    resources.set_rtp_g729(counts_.g729);
    resources.set_rtp_g723(counts_.g723);
    resources.set_rtp_g711(counts_.g711);
    resources.set_rtp_g711mcc(counts_.g711mcc);
    resources.set_universal(counts_.universal);
}

uint16_t RtpFactory::translateCodec(TERM::Payload::NamedNumber payload)
{
    switch (payload) {
    case TERM::Payload::ptG711_Alaw: return 8;
    case TERM::Payload::ptG723: return 4;
    case TERM::Payload::ptG729: return 18;
    case TERM::Payload::ptG711mcc_Alaw: return 136;
    case TERM::Payload::ptG711mcc_Ulaw: return 128;
    case TERM::Payload::ptG728: return 15;
    default: return 0;
    }
}

uint16_t RtpFactory::translateCodec(TERM::Payload::NamedNumber payload, TERM::Payload::NamedNumber mode)
{
    bool plain = mode == TERM::Payload::ptG711_Alaw || mode == TERM::Payload::ptG711_Ulaw;
    return translateCodec(mode != payload && plain ? mode : payload);
}

Slot* RtpFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::CreateRtpParams* request = params.get_rtp();
    if (!request || request->get_codecRTP().hasOptionalField(Optional::radio))
        return nullptr;
    return Create(*request, "do create rtp: ", 0, [](int channel, Fd session, const rtp_connection_params& record) {
        return new RtpSlot(channel, session, record);
    });
}

RtpSlot* RtpFactory::Create(const LGCP::CreateRtpParams& request, const char* what, uint32_t bss, const SlotMaker& make)
{
    const TERM::RtpParams& rtp = request.get_codecRTP();
    std::clog << ext::header(this) << what << rtp << std::endl;
    if (!supported(rtp.get_payload().getValue())) {
        std::clog << ext::header(this) << "rtp do not created: payload " << rtp.get_payload() << "not found"
                  << std::endl;
        return nullptr;
    }

    if (const std::string why = unusable(rtp); !why.empty()) {
        std::cerr << ext::header(this) << "rtp do not created: " << why << std::endl;
        return nullptr;
    }

    const TERM::HostAddress& local = rtp.hasOptionalField(Optional::shost) ? rtp.get_shost() : rtp.get_dhost();
    const uint16_t rtcp_port = static_cast<uint16_t>(local.get_port().getValue() + 1);
    Fd rtcp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (!rtcp) {
        std::clog << ext::header(this) << "rtp do not created: can not create socket [errno=" << std::strerror(errno)
                  << "]" << std::endl;
        return nullptr;
    }
    int on = 1, smallest = 0;
    setsockopt(rtcp, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // The socket is never read: the kernel keeps the peer's reports in the smallest buffer it allows.
    setsockopt(rtcp, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(rtcp_port);
    if (bind(rtcp, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
        std::clog << ext::header(this) << "rtp do not created: can not bind socket [errno=" << std::strerror(errno)
                  << ", port=" << rtcp_port << "]" << std::endl;
        rtcp.close();
        return nullptr;
    }

    RtpSlot* slot = nullptr;
    const rtp_connection_params params = connection_params(request);
    Fd session = Device::open(GetRtpDevName(), O_RDONLY | O_NONBLOCK);
    if (!session) {
        std::cerr << ext::header(this) << "device " << ext::quoted(GetRtpDevName())
                  << " open fail: " << std::strerror(errno) << std::endl;
    } else if (RtpDriver::Begin(session, params) < 0) {
        std::cerr << ext::header(this) << "begin session fail !!! " << std::strerror(errno) << std::endl;
    } else if (int channel = RtpDriver::AddChannel(session, RtpDriver::any_channel, bss); channel < 0) {
        std::cerr << ext::header(this) << "add channel fail !!! " << std::strerror(errno) << std::endl;
    } else if ((slot = make(channel, session, params))) {
        slot->bssFlag = bss;
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_addr.s_addr = htonl(BigEndian::get_u32(params.bytes.data(), RtpDriver::remote_address));
        peer.sin_port = htons(static_cast<uint16_t>(rtp.get_dhost().get_port().getValue() + 1));
        slot->startRTPC(rtcp, peer);
        if (rtp.hasOptionalField(Optional::echo) && rtp.get_echo().get_suppressor().getValue())
            slot->echoCancel(rtp.get_echo().get_canceller().getValue());
        if (rtp.hasOptionalField(Optional::radio)) {
            const TERM::RtpRadioRequest& radio = rtp.get_radio();
            auto given = [&radio](unsigned id, const ASN1::INTEGER& value) {
                return radio.hasOptionalField(id) ? static_cast<unsigned>(value.getValue()) : 0u;
            };
            if (radio.hasOptionalField(RadioOptional::rx_delay) || radio.hasOptionalField(RadioOptional::tx_delay) ||
                radio.hasOptionalField(RadioOptional::selcal_delay))
                slot->configureDelays(given(RadioOptional::rx_delay, radio.get_rx_delay()),
                                      given(RadioOptional::tx_delay, radio.get_tx_delay()),
                                      given(RadioOptional::selcal_delay, radio.get_selcal_delay()));
            if (radio.hasOptionalField(RadioOptional::bss_enable))
                slot->enableBSS(radio.get_bss_enable().getValue());
            if (radio.hasOptionalField(RadioOptional::ng_enable))
                slot->enableNG(radio.get_ng_enable().getValue());
            if (radio.hasOptionalField(RadioOptional::selcal_sh_enable))
                slot->enableSelcalSh(radio.get_selcal_sh_enable().getValue());
        }
    }
    if (session)
        session.close();
    rtcp.close();
    return slot;
}
