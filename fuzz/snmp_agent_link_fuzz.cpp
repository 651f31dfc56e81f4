// Fuzz target: what an SNMP agent sends the gateway's agent link, over the link's own TCP
// connection on the loopback interface, read, framed, decoded and handled as in the daemon, between
// timer expiries on a frozen clock and values the monitoring queues for the agents. The first byte
// picks the agent's address type ("vask", "lemzgw.qx" or "lemzgw"). Then records:
//   0xFF, a count and that many octets: raw bytes from the agent;
//   0xFE, n: (n + 1) * 250 ms on the clock, with whatever falls due (pings, the silence check);
//   0xFD, n: a value queued under item n % 36 (35 is no item) and index n / 36;
//   0xFC: trap receivers, sent to the agent at once;
//   any other octet: a length, and that many octets sent as one TPKT frame.
// After each record the reactor runs until the link has read and handled all the agent wrote.
//
// Beyond "no crash, no sanitizer report":
// - everything the link sends is whole TPKT frames, each holding a MON command;
// - the link stays connected while the agent is not silent: it drops the agent only when more than
//   30 s have passed since the connection and, where every record was a whole frame, since the
//   last of them;
// - it drops an agent that has written nothing for more than 30 s as soon as it sends it anything;
// - the agent is connected until the link drops it, and connection lost after.

#include "quiet_logs.h"

#include "asn1/runtime/coder_env.h"
#include "foundation/config/ini_file.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"
#include "monitoring/snmp_agent_ctrl.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int32_t silence_limit_ms = 30000;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

uint16_t local_port(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0 || address.sin_family != AF_INET)
        return 0;
    return ntohs(address.sin_port);
}

// Whether every byte written at the end `from` of a loopback connection has arrived at the end
// `to`: the kernel moves them in its own time, even there. Written are the bytes sent once and
// those not sent yet.
bool arrived(int from, int to)
{
    tcp_info sender{}, receiver{};
    socklen_t size = sizeof sender;
    getsockopt(from, IPPROTO_TCP, TCP_INFO, &sender, &size);
    size = sizeof receiver;
    getsockopt(to, IPPROTO_TCP, TCP_INFO, &receiver, &size);
    return receiver.tcpi_bytes_received ==
           sender.tcpi_bytes_sent - sender.tcpi_bytes_retrans + sender.tcpi_notsent_bytes;
}

// The agent's listening socket, the same for every input.
int listener()
{
    static const int fd = [] {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        require(bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && listen(s, 4) == 0);
        return s;
    }();
    return fd;
}

// Runs reactor passes, none waiting in poll(), until done() has held on two passes in a row, so
// that the deferred work of the pass that made it hold has run too. A link that never gets there
// within ten seconds of real time hangs.
void settle(const std::function<bool()>& done)
{
    struct Spin {
        void pass()
        {
            held = done() ? held + 1 : 0;
            if (held == 2)
                return multiplexer.terminate();
            require(std::chrono::steady_clock::now() < deadline);
            // A timer due now keeps the next poll from waiting.
            tick.set(0, [] {});
        }
        std::function<bool()> done;
        std::chrono::steady_clock::time_point deadline;
        int held = 0;
        Timer tick{};
    } spin{done, std::chrono::steady_clock::now() + std::chrono::seconds(10)};
    Dpc dpc;
    dpc.Bind(&spin, &Spin::pass);
    dpc.Activate();
    multiplexer.run(false, true);
}

// The agent's end of the connection: what it writes and what it reads back.
class Agent {
public:
    Agent() : fd_(accept4(listener(), nullptr, nullptr, SOCK_CLOEXEC)), link_end_(find_link_end())
    {
        // A closing link is waited for, not merely polled.
        const timeval limit{10, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        // Small writes leave at once rather than after the far end's delayed acknowledgement.
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(link_end_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    // With a reset rather than an orderly close, so that no connection lingers in TIME_WAIT.
    ~Agent()
    {
        const linger abort{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(fd_);
    }
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Whether the link has read all the agent wrote and the agent can read all the link wrote, or
    // the link has closed its end.
    bool settled() const
    {
        int unread = 0;
        if (ioctl(link_end_, FIONREAD, &unread) != 0)
            return true;
        return unread == 0 && arrived(fd_, link_end_) && arrived(link_end_, fd_);
    }

    void write(const uint8_t* octets, size_t size) const
    {
        while (size > 0) {
            const ssize_t n = send(fd_, octets, size, MSG_NOSIGNAL);
            if (n <= 0)
                return;  // the link has gone; its end of file shows in read()
            octets += n, size -= size_t(n);
        }
    }
    // Reads what the link sent: whether it sent a frame, and closed() once it has closed.
    bool read()
    {
        bool framed = false;
        uint8_t buffer[4096];
        // A link that has closed its end is read up to the end of the stream (or its reset).
        int unread = 0;
        const bool link_closed = ioctl(link_end_, FIONREAD, &unread) != 0;
        for (ssize_t n; !closed_ && (n = recv(fd_, buffer, sizeof buffer, link_closed ? 0 : MSG_DONTWAIT)) != -1;)
            closed_ = n == 0, pending_.insert(pending_.end(), buffer, buffer + n);
        closed_ = closed_ || errno == ECONNRESET;
        require(!link_closed || closed_);
        while (pending_.size() >= 4) {
            const size_t length = size_t(pending_[2]) << 8 | pending_[3];
            require(pending_[0] == 3 && pending_[1] == 0 && length >= 4);
            if (pending_.size() < length)
                break;
            MON::Message message;
            ASN1::CoderEnv environment;
            const char* payload = reinterpret_cast<const char*>(pending_.data() + 4);
            require(ASN1::decode(payload, payload + length - 4, &environment, message, true) &&
                    message.get_pdu().get_command());
            pending_.erase(pending_.begin(), pending_.begin() + long(length));
            framed = true;
        }
        // A link that closes leaves no frame half sent.
        require(!closed_ || pending_.empty());
        return framed;
    }
    bool closed() const { return closed_; }

private:
    // The link's end: the socket of this process whose port is the agent's peer.
    int find_link_end() const
    {
        require(fd_ >= 0);
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        require(getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &size) == 0);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != fd_ && local_port(fd) == ntohs(peer.sin_port))
                return fd;
        std::abort();
    }

    const int fd_;
    const int link_end_;
    bool closed_ = false;
    std::vector<uint8_t> pending_;
};

const char* const address_types[] = {"vask", "lemzgw.qx", "lemzgw"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet_logs();
    listener();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    Mux::timeval now;
    Mux::gettimeval(now);
    Mux::set_cached_time_for_tests(now);
    {
        IniFile::File file;
        std::istringstream("[snmpagent]\nhost=127.0.0.1:" + std::to_string(local_port(listener())) + "\nname=" +
                           address_types[data[0] % 3] + "\n") >>
            file;
        SnmpAgentCtrl link;
        link.CreateInstances(file["snmpagent"]);
        const SnmpAgentInstance& instance = *link.agents().at(0);
        settle([&] { return instance.state() == SnmpAgentInstance::connected; });
        Agent agent;
        const uint32_t connected_at = Mux::milliseconds();
        // When the agent last wrote, and when it last sent a whole frame while every record was one.
        uint32_t written_at = connected_at, framed_at = connected_at;
        bool only_frames = true;
        for (size_t at = 1; at < size && !agent.closed();) {
            const unsigned kind = data[at++];
            const unsigned argument = at < size ? data[at] : 0;
            if (kind == 0xFE || kind == 0xFD)
                at = std::min(size, at + 1);
            if (kind == 0xFE) {
                Mux::timevaladd(now, Mux::make_from_msec((argument + 1) * 250));
                Mux::set_cached_time_for_tests(now);
            } else if (kind == 0xFD) {
                link.Send(SnmpAgentCtrl::MonitoringItemType(argument % 36), int(argument / 36), "1");
            } else if (kind == 0xFC) {
                link.SendTrapsink({"10.1.1.1", "10.1.1.2:162"});
            } else {
                const size_t n = kind == 0xFF && at < size ? data[at++] : kind;
                std::vector<uint8_t> octets;
                if (kind != 0xFF) {
                    octets = {3, 0, 0, uint8_t(std::min(size - at, n) + 4)};
                    framed_at = Mux::milliseconds();
                }
                octets.insert(octets.end(), data + at, data + std::min(size, at + n));
                at = std::min(size, at + n);
                agent.write(octets.data(), octets.size());
                if (!octets.empty())
                    written_at = Mux::milliseconds();
                only_frames = only_frames && (kind != 0xFF || octets.empty());
            }
            settle([&] { return agent.settled(); });
            const bool framed = agent.read();
            const uint32_t time = Mux::milliseconds();
            if (agent.closed()) {
                require(int32_t(time - connected_at) > silence_limit_ms);
                require(!only_frames || int32_t(time - framed_at) > silence_limit_ms);
            } else {
                require(!framed || int32_t(time - written_at) <= silence_limit_ms);
            }
            require(instance.state() ==
                    (agent.closed() ? SnmpAgentInstance::connection_lost : SnmpAgentInstance::connected));
        }
    }
    Mux::clear_cached_time_for_tests();
    return 0;
}
