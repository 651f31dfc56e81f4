// The header-extension driver "/dev/rtp_ext". Each open may carry one header-extension session:
// "RTP_EXT_INIT" takes its extension type and four settings, "RTP_EXT_ATTACH" attaches it to the
// RTP session that a process holds as a descriptor of "/dev/rtp" (pid 0xFFFFFFFF: the requesting
// process) and "RTP_EXT_DETACH" lets it go, "RTP_EXT_FILTER" accepts packets from one source
// address only and "RTP_EXT_UNFILTER" from every source again. Payloads travel one per read and
// write: what the daemon writes is journalled as "payload"; a test hands the daemon a received
// payload with
//     set /dev/rtp_ext packet <ssrc> <address> <hex> [file=<n>]
// (to the latest open unless named), which the source filter may drop, and "RTP_EXT_INFO" answers
// the SSRC, source address and length of the next payload to be read, or fails with EAGAIN when
// none waits. An SSRC of "-" hands over a payload whose information the driver cannot give: the
// request about it fails with EIO.
//
// Every payload written or handed over also goes, as an RTP packet whose header extension it is,
// into "<root>/rtp_ext.pcap" (raw IPv4), with the addresses, ports, payload type and SSRC of the
// attached RTP session, so that tshark reads what travelled.

#include "emulator/board.h"
#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <fstream>
#include <map>
#include <sys/time.h>

namespace Emulator {

// The record that began the RTP session of an open of "/dev/rtp" (emulator/rtp.cpp); null when none.
const uint8_t* rtp_session_record(int file);

namespace {

constexpr size_t max_payload = 1024;
constexpr uint32_t linktype_raw = 101;

struct Packet {
    bool known;  // whether the information request about it is answered
    uint32_t ssrc;
    uint32_t address;  // host order
    uint32_t length;
};

struct Session {
    OpenFile* file;
    uint16_t type = 0;
    std::string settings;
    int attached = 0;  // the open of "/dev/rtp", 0 for none
    bool filtering = false;
    uint32_t filter = 0;         // host order
    std::deque<Packet> pending;  // handed to the daemon, not yet asked about
    unsigned filtered = 0;
    uint16_t sequence = 0;
};

// The attached RTP session as its packets show it (addresses in host order); all zero without one.
struct Stream {
    uint32_t local = 0;
    uint16_t local_port = 0;
    uint32_t remote = 0;
    uint16_t remote_port = 0;
    uint8_t rx_payload = 0;
    uint8_t tx_payload = 0;
    uint32_t ssrc = 0;
};

Stream stream(const Session& session)
{
    const uint8_t* record = session.attached ? rtp_session_record(session.attached) : nullptr;
    if (!record)
        return {};
    return {BigEndian::get_u32(record, 8),
            BigEndian::get_u16(record, 12),
            BigEndian::get_u32(record, 0),
            BigEndian::get_u16(record, 4),
            static_cast<uint8_t>(BigEndian::get_u16(record, 14)),
            static_cast<uint8_t>(BigEndian::get_u16(record, 16)),
            BigEndian::get_u32(record, 24)};
}

std::string dotted(uint32_t address)
{
    in_addr value{htonl(address)};
    return inet_ntoa(value);
}

// The packets as raw IPv4 datagrams in a pcap file, written as they come.
class Capture {
public:
    void add(const std::vector<uint8_t>& datagram)
    {
        if (!out_.is_open()) {
            out_.open(DeviceModel::root() + "/rtp_ext.pcap", std::ios::binary | std::ios::trunc);
            uint32_t header[] = {0xA1B2C3D4, 0x00040002, 0, 0, 65535, linktype_raw};
            out_.write(reinterpret_cast<const char*>(header), sizeof header);
        }
        timeval now;
        gettimeofday(&now, nullptr);
        uint32_t record[] = {static_cast<uint32_t>(now.tv_sec), static_cast<uint32_t>(now.tv_usec),
                             static_cast<uint32_t>(datagram.size()), static_cast<uint32_t>(datagram.size())};
        out_.write(reinterpret_cast<const char*>(record), sizeof record);
        out_.write(reinterpret_cast<const char*>(datagram.data()), static_cast<std::streamsize>(datagram.size()));
        out_.flush();
    }

private:
    std::ofstream out_;
};

// An IPv4 datagram carrying a UDP datagram carrying an RTP packet whose header extension is the
// payload, padded to whole words.
std::vector<uint8_t> datagram(uint32_t from, uint16_t from_port, uint32_t to, uint16_t to_port, uint8_t payload_type,
                              uint16_t sequence, uint32_t ssrc, uint16_t extension, const uint8_t* payload, size_t size)
{
    const size_t words = (size + 3) / 4;
    std::vector<uint8_t> packet(20 + 8 + 12 + 4 + 4 * words);
    uint8_t* ip = packet.data();
    BigEndian::put_u8(ip, 0, 0x45);
    BigEndian::put_u16(ip, 2, static_cast<uint16_t>(packet.size()));
    BigEndian::put_u8(ip, 8, 64);
    BigEndian::put_u8(ip, 9, 17);
    BigEndian::put_u32(ip, 12, from);
    BigEndian::put_u32(ip, 16, to);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum += BigEndian::get_u16(ip, i);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    BigEndian::put_u16(ip, 10, static_cast<uint16_t>(~sum));
    uint8_t* udp = ip + 20;
    BigEndian::put_u16(udp, 0, from_port);
    BigEndian::put_u16(udp, 2, to_port);
    BigEndian::put_u16(udp, 4, static_cast<uint16_t>(packet.size() - 20));
    uint8_t* rtp = udp + 8;
    BigEndian::put_u8(rtp, 0, 0x90);  // version 2, with a header extension
    BigEndian::put_u8(rtp, 1, payload_type & 0x7F);
    BigEndian::put_u16(rtp, 2, sequence);
    BigEndian::put_u32(rtp, 8, ssrc);
    BigEndian::put_u16(rtp, 12, extension);
    BigEndian::put_u16(rtp, 14, static_cast<uint16_t>(words));
    std::copy_n(payload, size, rtp + 16);
    return packet;
}

class RtpExtSessions : public DeviceModel {
public:
    RtpExtSessions() : DeviceModel("/dev/rtp_ext")
    {
        using DeviceLink::Argument;
        define({0xC0144500, "RTP_EXT_INIT", Argument::record, 20, {}, [this](Call& call) { return init(call); }});
        define({0xC0084501, "RTP_EXT_ATTACH", Argument::record, 8, {"fd", "pid"}, [this](Call& call) {
                    return attach(call);
                }});
        define({0x20004502, "RTP_EXT_DETACH", Argument::record, 8, {"fd", "pid"}, [this](Call& call) {
                    return detach(call);
                }});
        define({0xC00C4503, "RTP_EXT_INFO", Argument::record, 12, {}, [this](Call& call) { return info(call); }});
        define(
            {0xC0084504, "RTP_EXT_FILTER", Argument::record, 8, {}, [this](Call& call) { return filter(call, true); }});
        define({0x20004505, "RTP_EXT_UNFILTER", Argument::record, 8, {}, [this](Call& call) {
                    return filter(call, false);
                }});
    }

    Written write(OpenFile& file, const uint8_t* data, size_t size) override
    {
        std::string fields = "file=" + std::to_string(file.id()) + " bytes=" + bytes_text(data, size);
        auto found = sessions_.find(file.id());
        if (size > max_payload || found == sessions_.end())
            return {"payload", fields + (size > max_payload ? " oversize" : " no-session")};
        Session& session = found->second;
        const Stream rtp = stream(session);
        capture_.add(datagram(rtp.local, rtp.local_port, rtp.remote, rtp.remote_port, rtp.tx_payload,
                              session.sequence++, rtp.ssrc, session.type, data, size));
        return {"payload", fields};
    }

    // "file=<n> type=<t> settings=<s1>,<s2>,<s3>,<s4> rtp=none|file=<n> filter=none|<address>
    // pending=<n> filtered=<n>"
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [file, session] : sessions_)
            lines.push_back(
                "file=" + std::to_string(file) + " type=" + code_text(session.type) + " settings=" + session.settings +
                " rtp=" + (session.attached ? "file=" + std::to_string(session.attached) : "none") +
                " filter=" + (session.filtering ? dotted(session.filter) : "none") +
                " pending=" + std::to_string(session.pending.size()) + " filtered=" + std::to_string(session.filtered));
        return true;
    }

    // "packet <ssrc> <address> <hex> [file=<n>]" (above).
    bool set(const Words& arguments) override
    {
        long long ssrc = 0, file = 0;
        in_addr address;
        std::vector<uint8_t> payload;
        const bool known = arguments.size() < 2 || arguments[1] != "-";
        if (arguments.size() < 4 || arguments.size() > 5 || arguments[0] != "packet" ||
            (known && (!parse_number(arguments[1], ssrc) || ssrc < 0 || ssrc > 0xFFFFFFFFLL)) ||
            inet_aton(arguments[2].c_str(), &address) == 0 || !parse_bytes(arguments[3], payload) ||
            payload.size() > max_payload || (arguments.size() == 5 && !parse_option(arguments[4], "file", file)))
            return false;
        if (!file && latest_file())
            file = latest_file()->id();
        auto found = sessions_.find(static_cast<int>(file));
        if (found == sessions_.end())
            return false;
        Session& session = found->second;
        const uint32_t source = ntohl(address.s_addr);
        if (session.filtering && source != session.filter) {
            ++session.filtered;
            return true;
        }
        session.pending.push_back({known, static_cast<uint32_t>(ssrc), source, static_cast<uint32_t>(payload.size())});
        const Stream rtp = stream(session);
        capture_.add(datagram(source, rtp.remote_port, rtp.local, rtp.local_port, rtp.rx_payload, session.sequence++,
                              static_cast<uint32_t>(ssrc), session.type, payload.data(), payload.size()));
        session.file->push(std::move(payload));
        return true;
    }

private:
    void closed(OpenFile& file) override { sessions_.erase(file.id()); }

    Session* session(const Call& call)
    {
        auto found = sessions_.find(call.file.id());
        return found == sessions_.end() ? nullptr : &found->second;
    }

    Answer init(Call& call)
    {
        const uint8_t* record = call.record;
        std::string settings;
        for (size_t offset = 4; offset < 20; offset += 4)
            settings += (settings.empty() ? "" : ",") + std::to_string(BigEndian::get_u32(record, offset));
        call.fields = "file=" + std::to_string(call.file.id()) + " type=" + code_text(BigEndian::get_u16(record, 0)) +
            " settings=" + settings;
        if (session(call))
            return Answer::failure(EBUSY);
        Session& made = sessions_[call.file.id()];
        made.file = &call.file;
        made.type = BigEndian::get_u16(record, 0);
        made.settings = settings;
        return {};
    }

    Answer attach(Call& call)
    {
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        if (found->attached)
            return Answer::failure(EBUSY);
        OpenFile* rtp = Board::descriptor_file(BigEndian::get_u32(call.record, 4), BigEndian::get_u32(call.record, 0));
        if (!rtp || rtp->driver().path != "/dev/rtp")
            return Answer::failure(EBADF);
        found->attached = rtp->id();
        call.note = "rtp=file=" + std::to_string(rtp->id());
        return {};
    }

    Answer detach(Call& call)
    {
        Session* found = session(call);
        if (!found || !found->attached)
            return Answer::failure(EINVAL);
        found->attached = 0;
        return {};
    }

    Answer info(Call& call)
    {
        call.fields = "file=" + std::to_string(call.file.id());
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        if (found->pending.empty())
            return Answer::failure(EAGAIN);
        const Packet next = found->pending.front();
        found->pending.pop_front();
        if (!next.known)
            return Answer::failure(EIO);
        BigEndian::put_u32(call.record, 0, next.ssrc);
        BigEndian::put_u32(call.record, 4, next.address);
        BigEndian::put_u32(call.record, 8, next.length);
        call.note = "ssrc=" + code_text(next.ssrc) + " address=" + dotted(next.address);
        return {static_cast<int>(next.length)};
    }

    Answer filter(Call& call, bool on)
    {
        const uint32_t address = BigEndian::get_u32(call.record, 0);
        call.fields = "file=" + std::to_string(call.file.id()) + " address=" + dotted(address);
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        found->filtering = on;
        found->filter = on ? address : 0;
        return {};
    }

    std::map<int, Session> sessions_;  // by open file
    Capture capture_;
};

const DeviceModel::Registration<RtpExtSessions> registration;

}  // namespace

}  // namespace Emulator
