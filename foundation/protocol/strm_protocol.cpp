#include "foundation/protocol/strm_protocol.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/util/ext_header.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

int strm_protocol_debug = 0;

namespace {

constexpr int32_t write_budget_ms = 1000;

std::string error_text() { return std::strerror(errno); }

}  // namespace

StrmProtocol::StrmProtocol() { init(); }

StrmProtocol::StrmProtocol(Fd fd)
{
    init();
    attach(fd);
}

StrmProtocol::~StrmProtocol()
{
    if (strm_protocol_debug)
        std::clog << "Enter StrmProtocol::~StrmProtocol()" << " this=" << static_cast<const void*>(this) << std::endl;
    release();
}

void StrmProtocol::init()
{
    overflow_counter_ = 0;
    trace_ = false;
    read_event_.Bind("StrmProtocol::on_event", &StrmProtocol::on_event, this);
}

int StrmProtocol::attach(Fd fd)
{
    release();
    fd_ = Fd(fd.dup());
    // A fresh socket has nothing queued: a count here means the system reports free space.
    int queued = 0;
    const int result = ioctl(fd_, TIOCOUTQ, &queued);
    outq_reports_free_ = result == 0 && queued != 0;
    return result;
}

void StrmProtocol::release()
{
    unsent_.clear();
    if (!fd_)
        return;
    read_event_.Release();
    fd_.close();
}

void StrmProtocol::local_activate()
{
    if (!fd_) {
        on_deactivate(new Protocol_status_error(this, "fd not attached"));
        return;
    }
    read_event_.Schedule(fd_, POLLIN);
    on_activate();
}

void StrmProtocol::local_deactivate()
{
    // Answers given before the end still go out (when queueing, what the socket takes now); a
    // failure has ended the layer already.
    if (!write_unsent())
        return;
    release();
    on_deactivate(new Protocol_status_success(this));
}

void StrmProtocol::on_event(int, short revents)
{
    // Data that came with a hang-up is read first; the end of the stream then shows in the read.
    if (revents & POLLERR)
        on_error("pollerr: " + error_text());
    else if ((revents & POLLOUT) && !write_unsent())
        return;
    else if (revents & POLLIN)
        do_read();
    else if (revents & POLLHUP)
        on_error("pollhup: " + error_text());
}

ssize_t StrmProtocol::receive_into(void* room, size_t size)
{
    read_measure_.begin();
    const ssize_t n = recv(fd_, room, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    read_measure_.end();
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    on_error("read error: " + error_text());
    return 0;
}

void StrmProtocol::do_read()
{
    Packet p;
    try {
        p.reserve_head(0);
    } catch (const std::bad_alloc&) {
        drop_input();
        return;
    }
    const ssize_t n = receive_into(p.tail_space(), p.tailroom());
    if (n == 0)
        return;
    if (trace_) {
        std::clog << ext::header(this) << "receive success";
        put_queues(std::clog);
        std::clog << std::endl;
    }
    p.extend(unsigned(n));
    delivering_ = true;
    on_message(p);
    delivering_ = false;
    write_unsent();
}

void StrmProtocol::drop_input()
{
    unsigned char scratch[4096];
    const ssize_t n = receive_into(scratch, sizeof scratch);
    if (n > 0)
        std::cerr << ext::header(this) << "packet pool exhausted, " << n << " received bytes dropped" << std::endl;
}

void StrmProtocol::on_error(const std::string& text)
{
    release();
    on_deactivate(new Protocol_status_error(this, text));
}

void StrmProtocol::message(Packet& p)
{
    p.passert(!p.is_null(), "null packet");
    if (!delivering_ && !queue_writes_) {
        write_all(p.data(), p.length());
        return;
    }
    unsent_.insert(unsent_.end(), p.data(), p.data() + p.length());
    if (!delivering_)
        write_unsent();
}

bool StrmProtocol::write_unsent()
{
    if (unsent_.empty())
        return true;
    if (!queue_writes_) {
        const std::vector<unsigned char> answers = std::move(unsent_);
        unsent_.clear();
        return write_all(answers.data(), answers.size());
    }
    write_measure_.begin();
    const ssize_t sent = send_now(unsent_.data(), unsent_.size());
    if (sent < 0) {
        write_failed();
        return false;
    }
    unsent_.erase(unsent_.begin(), unsent_.begin() + sent);
    if (sent > 0)
        log_write_success();
    write_measure_.end();
    // Room for the rest is waited for by the reactor, not here.
    const short events = unsent_.empty() ? POLLIN : POLLIN | POLLOUT;
    if (read_event_.fd() && read_event_.events() != events)
        read_event_.Schedule(read_event_.fd(), events);
    return true;
}

bool StrmProtocol::write_all(const unsigned char* next, size_t left)
{
    const uint32_t start_ms = Mux::milliseconds();
    write_measure_.begin();
    for (;;) {
        const ssize_t sent = send_now(next, left);
        if (sent < 0) {
            write_failed();
            return false;
        }
        next += sent;
        left -= size_t(sent);
        if (left == 0)
            break;
        // A full buffer, or a write that took nothing: wait for room.
        if (!wait_writable(start_ms)) {
            write_measure_.end();
            std::cerr << ext::header(this) << "write timeout";
            put_queues(std::cerr);
            std::cerr << std::endl;
            ++overflow_counter_;
            on_error("write timeout");
            return false;
        }
    }
    log_write_success();
    write_measure_.end();
    return true;
}

ssize_t StrmProtocol::send_now(const unsigned char* data, size_t length)
{
    size_t sent = 0;
    while (sent < length) {
        // Non-blocking whatever the socket's mode: only the callers decide whether to wait.
        const ssize_t n = send(fd_, data + sent, length - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0)
            sent += size_t(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        else
            break;
    }
    return ssize_t(sent);
}

void StrmProtocol::write_failed()
{
    const std::string text = error_text();
    write_measure_.end();
    std::cerr << ext::header(this) << "write error";
    put_queues(std::cerr);
    std::cerr << ", error=" << text << std::endl;
    ++overflow_counter_;
    on_error("write error: " + text);
}

void StrmProtocol::log_write_success() const
{
    if (!trace_)
        return;
    std::clog << ext::header(this) << "write success";
    put_queues(std::clog);
    std::clog << std::endl;
}

bool StrmProtocol::wait_writable(uint32_t start_ms)
{
    const int32_t left = write_budget_ms - int32_t(Mux::milliseconds() - start_ms);
    if (left < 1)
        return false;
    pollfd entry{};
    entry.fd = fd_;
    entry.events = POLLOUT;
    multiplexer.resetWD();
    const int result = poll(&entry, 1, left);
    const int poll_errno = errno;
    multiplexer.resetWD();
    return result == 1 || (result < 0 && poll_errno == EINTR);
}

namespace {

int socket_option(int fd, int option)
{
    int value = 0;
    socklen_t size = sizeof value;
    return getsockopt(fd, SOL_SOCKET, option, &value, &size) == 0 ? value : -1;
}

// The board's request codes for these are the host's FIONREAD and TIOCOUTQ: socket requests of
// the kernel itself, so the host's numbers are the right ones off the board too.
int socket_request(int fd, unsigned long request)
{
    int value = 0;
    return ioctl(fd, request, &value) == 0 ? value : -1;
}

}  // namespace

int StrmProtocol::sendbuf_space() const { return socket_option(fd_, SO_SNDBUF); }

int StrmProtocol::recvbuf_space() const { return socket_option(fd_, SO_RCVBUF); }

int StrmProtocol::inq_space() const { return socket_request(fd_, FIONREAD); }

int StrmProtocol::outq_space() const { return socket_request(fd_, TIOCOUTQ); }

int StrmProtocol::free_space() const
{
    return outq_reports_free_ ? outq_space() : sendbuf_space() - outq_space();
}

void StrmProtocol::put_queues(std::ostream& out) const
{
    out << std::dec << ", sendbuf=" << sendbuf_space() << ", recvbuf=" << recvbuf_space() << ", free=" << free_space()
        << ", inq=" << inq_space() << ", outq=" << outq_space();
}

void StrmProtocol::PutHeader(std::ostream& out) const { out << "SockStream[" << trace_name_ << "]: "; }
