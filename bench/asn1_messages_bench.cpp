// PER encoding and decoding of real controller messages, one message per iteration, as the control
// server codes them. Where Erlang's ASN.1 application is installed, the same values go through
// Erlang's coder (over the plain-ASN.1 export of the modules), three rounds of 100000 each, and
// its best round per message is printed beside ours as the counter erlang_ns; x_erlang tells how
// many times faster ours is. Erlang is a reference from an independent, mature implementation;
// taking its best round makes the comparison conservative on a busy machine.

#include "asn1/modules/ACP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "asn1/runtime/coder_env.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const messageNames[] = {"ping", "create rtp with radio", "query resources",
                                    "protoLemz 4 packets", "trunk status", "user data 200 octets"};
constexpr int messageCount = 6;

LGCP::Message ping()
{
    LGCP::Message message;
    message.set_seq(7);
    message.get_pdu().select_command().select_ping();
    return message;
}

// A radio RTP slot on a LEMZ radio: codec and peers, jitter buffer, voice detection, echo, and the
// radio block with the radio's state and a first frequency request.
LGCP::Message createRtpWithRadio()
{
    LGCP::Message message;
    message.set_seq(1201);
    message.set_slot(37);
    LGCP::CreateRtpParams& create = message.get_pdu().select_command().select_create().select_rtp();
    create.set_txPayload(TERM::Payload::ptG711_Alaw);
    create.set_rxPayload(TERM::Payload::ptG711_Alaw);
    TERM::RtpParams& rtp = create.get_codecRTP();
    rtp.set_payload(TERM::Payload::ptG711_Alaw);
    rtp.get_dhost().set_iaddr("192.168.10.21");
    rtp.get_dhost().set_port(5004);
    rtp.get_shost().set_iaddr("192.168.10.2");
    rtp.get_shost().set_port(5006);
    rtp.get_jitter().set_start(40);
    rtp.get_jitter().set_max(120);
    rtp.set_pfactor(2);
    rtp.set_vad(true);
    rtp.get_echo().set_suppressor(false);
    rtp.get_echo().set_canceller(true);
    rtp.set_ssrc(0x9e3779b9u);
    rtp.set_ttl(64);
    rtp.set_qos_dscp(TERM::IpQoSDSCP::ef);

    TERM::RtpRadioRequest& radio = rtp.get_radio();
    TERM::LemzRadioStatus& status = radio.get_status().select_lemz();
    TERM::RadioFlags& flags = status.get_flags();
    flags.set_prio(3);
    flags.set_vad_rx(true);
    flags.set_vad_tx(true);
    flags.set_sql(true);
    flags.set_pwr(true);
    flags.set_selcall(1);
    flags.set_li(300);
    status.get_freq().set_channel(12);
    status.get_freq().set_frequency("145.500");
    status.get_remote().set_no(2);
    status.get_remote().set_ch(1);
    status.set_squelshe(TERM::RadioSquelshe::on);
    status.set_rte(TERM::RadioRTE::j3e);
    status.set_standby_state_channel(TERM::RadioStandby::active);
    status.set_standby_group(4);
    status.set_standby_state_receiver(TERM::RadioStandby::standby);
    TERM::LemzRadioModifier& request = radio.get_request().select_lemz();
    request.get_addr().set_session_addr("radio-12@192.168.10.21");
    request.get_addr().set_session_ssrc(0x9e3779b9u);
    TERM::RadioFrequency& frequency = request.get_params().select_gw_set_freq().get_freq();
    frequency.set_channel(12);
    frequency.set_frequency("145.500");
    radio.set_rx_delay(60);
    radio.set_tx_delay(40);
    radio.set_bss_enable(true);
    radio.set_ng_enable(false);
    return message;
}

// The board's resources as the slot service reports them after a query: every counter, the
// driver version, four mixer units and four echo buses.
LGCP::Message queryResources()
{
    LGCP::Message message;
    LGCP::Resources& resources = message.get_pdu().select_signal().select_query();
    resources.set_boardMajor(3);
    resources.set_boardMinor(2);
    ACP::VersionInfo& driver = resources.get_drvVersion();
    driver.set_type(ACP::BuildType::release);
    driver.set_version("4.12.7");
    driver.set_date("2024-03-18 11:42:05");
    driver.set_revision(48211);
    resources.set_rtp_g729(60);
    resources.set_rtp_g723(60);
    resources.set_rtp_g711(120);
    resources.set_rtp_g711mcc(32);
    resources.set_modem(8);
    for (int unit = 0; unit < 4; ++unit) {
        LGCP::MixerResources_subtype mixer;
        mixer.set_unit(unit);
        mixer.set_tdm_inputs(32);
        mixer.set_tdm_outputs(32);
        mixer.set_mixer_inputs(64);
        mixer.set_dpu_per_mixer(4);
        mixer.set_dpu_per_ec(2);
        mixer.set_dpu_per_lms(1);
        resources.get_mixer().push_back(mixer);
        resources.get_echoBus().push_back(ASN1::INTEGER(unit * 32));
    }
    resources.set_mux(true);
    resources.set_mcc_data(16);
    resources.set_mcc_bri(8);
    resources.set_mcc_trans(16);
    resources.set_t38_instances(8);
    resources.set_digital_modems(4);
    resources.set_lin16(30);
    resources.set_universal(30);
    return message;
}

LEMZGW::ProtoLemzPacket lemzPacket(int seq, LEMZGW::ProtoLemzMsgID::NamedNumber id, int length)
{
    LEMZGW::ProtoLemzPacket packet;
    packet.set_msgLength(length);
    packet.set_msgSeqNum(seq);
    packet.set_msgID(id);
    packet.set_stateProtocol(LEMZGW::ProtoLemzProtocol::protocol_v2);
    packet.set_stateMode(LEMZGW::ProtoLemzMode::radio);
    packet.set_stateMaster(1);
    packet.set_srcAddr(LEMZGW::ProtoLemzAddress::lgw);
    packet.set_srcChannel(0);
    packet.set_dstAddr(LEMZGW::ProtoLemzAddress::dli);
    packet.set_dstChannel(2);
    return packet;
}

// A burst towards a digital radio interface: keep-alive, push-to-talk with its data, a channel
// selection and a debug text.
LGCP::Message protoLemz()
{
    LGCP::Message message;
    message.set_seq(5120);
    message.set_slot(37);
    auto& packets = message.get_pdu().select_command().select_protoLemz().get_packets();

    LEMZGW::ProtoLemzPacket keepAlive = lemzPacket(881, LEMZGW::ProtoLemzMsgID::gw_keep_alive, 12);
    auto& alive = keepAlive.get_payload().select_gw_keep_alive().select_keep_alive_v2();
    alive.set_gateway_id(7);
    alive.set_bus_windows_size(16);
    packets.push_back(keepAlive);

    LEMZGW::ProtoLemzPacket ptt = lemzPacket(882, LEMZGW::ProtoLemzMsgID::gw_rad_ptt_on, 24);
    auto& pttOn = ptt.get_payload().select_gw_rad_ptt_on();
    pttOn.set_channel(2);
    for (int octet : {0x01, 0x80, 0x3f, 0x00, 0xa5, 0x5a, 0x10, 0x20})
        pttOn.get_payload().push_back(ASN1::INTEGER(octet));
    packets.push_back(ptt);

    LEMZGW::ProtoLemzPacket select = lemzPacket(883, LEMZGW::ProtoLemzMsgID::gw_rad_select_channel, 16);
    auto& channel = select.get_payload().select_gw_rad_select_channel();
    channel.set_channel(2);
    channel.set_select_interface(1);
    channel.set_select_channel(12);
    packets.push_back(select);

    LEMZGW::ProtoLemzPacket debug = lemzPacket(884, LEMZGW::ProtoLemzMsgID::dli_debug, 40);
    debug.get_payload().select_dli_debug().set_payload("radio 2: channel 12 selected, squelch on");
    packets.push_back(debug);
    return message;
}

// An E1 trunk's periodic report: the service's signal, with no slot.
LGCP::Message trunkStatus()
{
    LGCP::Message message;
    ACP::TrunkStatus& status = message.get_pdu().select_signal().select_trunkStatus();
    status.set_trunk(1);
    status.set_state(ACP::TrunkState::rai);
    status.set_slips(17);
    status.set_lossBF(2);
    status.set_lossCarrier(0);
    status.set_lossAIS(1);
    status.set_lossRAI(394);
    status.set_name("E1-1");
    status.set_clockMaster(true);
    status.set_type(ACP::TrunkType::e1);
    return message;
}

// Octets for a data-call slot, sized so that the whole message takes 200 octets: the header
// (presence bits, seq, slot, command index) and the two-octet length take 9.
LGCP::Message userData()
{
    LGCP::Message message;
    message.set_seq(5121);
    message.set_slot(212);
    std::vector<char>& data = message.get_pdu().select_command().select_userData().getValue();
    for (int i = 0; i < 191; ++i)
        data.push_back(static_cast<char>(i * 37));
    return message;
}

LGCP::Message sampleMessage(int which)
{
    switch (which) {
    case 0:
        return ping();
    case 1:
        return createRtpWithRadio();
    case 2:
        return queryResources();
    case 3:
        return protoLemz();
    case 4:
        return trunkStatus();
    default:
        return userData();
    }
}

std::vector<char> encoded(const LGCP::Message& message)
{
    std::vector<char> octets;
    const ASN1::CoderEnv env;
    ASN1::encode(message, &env, std::back_inserter(octets));
    return octets;
}

// Erlang's time per encode and per decode of each sample message, in nanoseconds; negative where
// Erlang is missing or failed.
struct ErlangFigures {
    double encodeNs = -1;
    double decodeNs = -1;
};

std::string directoryOf(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

// The build tree: TOVRASEL_BUILD_DIR, else the parent of this program's directory (bench/).
std::string buildDir()
{
    if (const char* dir = std::getenv("TOVRASEL_BUILD_DIR"))
        return dir;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? directoryOf(directoryOf(std::string(self, static_cast<std::size_t>(n)))) : ".";
}

std::vector<ErlangFigures> measureErlang()
{
    std::vector<ErlangFigures> figures(messageCount);
    const std::string build = buildDir();
    const std::string escript = directoryOf(directoryOf(__FILE__)) + "/tests/asn1/crosscheck/erlang_per.escript";
    std::string command = "escript '" + escript + "' bench '" + build + "/asn1/gen/export' '" + build +
        "/asn1/gen/erlang/beam' 100000";
    for (int i = 0; i < messageCount; ++i) {
        command += " LGCP Message ";
        for (char c : encoded(sampleMessage(i))) {
            static const char digits[] = "0123456789ABCDEF";
            command += digits[static_cast<unsigned char>(c) >> 4];
            command += digits[c & 15];
        }
    }
    FILE* erlang = popen((command + " 2>/dev/null").c_str(), "r");
    if (!erlang)
        return figures;
    char line[512];
    int next = 0;
    while (std::fgets(line, sizeof line, erlang) && next < messageCount) {
        ErlangFigures f;
        if (std::sscanf(line, "LGCP Message encode_ns=%lf decode_ns=%lf", &f.encodeNs, &f.decodeNs) == 2)
            figures[next++] = f;
    }
    pclose(erlang);
    return figures;
}

// Measured once, on the first benchmark that asks, outside any timed loop.
const ErlangFigures& erlangFigures(int which)
{
    static const std::vector<ErlangFigures> figures = measureErlang();
    return figures[static_cast<std::size_t>(which)];
}

// Our wall-clock time per message over the timed loop, for the comparison with Erlang's.
class LoopClock {
public:
    LoopClock() : start_(std::chrono::steady_clock::now()) {}
    double nsPerIteration(const benchmark::State& state) const
    {
        const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start_;
        return state.iterations() ? spent.count() / static_cast<double>(state.iterations()) : 0;
    }

private:
    std::chrono::steady_clock::time_point start_;
};

void report(benchmark::State& state, int which, std::size_t octets, double erlangNs, double oursNs)
{
    state.counters["octets"] = static_cast<double>(octets);
    if (erlangNs >= 0 && oursNs > 0) {
        state.counters["erlang_ns"] = erlangNs;
        // How many times faster than Erlang's coder.
        state.counters["x_erlang"] = erlangNs / oursNs;
    }
    state.SetLabel(std::string(messageNames[which]) + (erlangNs >= 0 ? "" : " (no Erlang reference)"));
}

void BM_MessageEncode(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const LGCP::Message message = sampleMessage(which);
    const double erlangNs = erlangFigures(which).encodeNs;
    std::vector<char> out;
    const LoopClock clock;
    for (auto _ : state) {
        out.clear();
        const ASN1::CoderEnv env;
        if (!ASN1::encode(message, &env, std::back_inserter(out)))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
    report(state, which, out.size(), erlangNs, clock.nsPerIteration(state));
}
BENCHMARK(BM_MessageEncode)->ArgName("message")->DenseRange(0, messageCount - 1);

// Each iteration decodes into a new message and drops it, as the control server does.
void BM_MessageDecode(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const std::vector<char> octets = encoded(sampleMessage(which));
    const double erlangNs = erlangFigures(which).decodeNs;
    const LoopClock clock;
    for (auto _ : state) {
        LGCP::Message message;
        const ASN1::CoderEnv env;
        if (!ASN1::decode(octets.data(), octets.data() + octets.size(), &env, message, true))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(&message);
    }
    report(state, which, octets.size(), erlangNs, clock.nsPerIteration(state));
}
BENCHMARK(BM_MessageDecode)->ArgName("message")->DenseRange(0, messageCount - 1);

}  // namespace
