#pragma once

// The bottom layer of a byte-stream stack: owns a connected stream socket, hands up whatever
// one read brings (no framing) and writes every packet handed down completely before it
// returns, blocking the reactor for at most 1000 ms in all; or, set to queue writes, never
// waits: what the socket does not take at once stays in the layer, in order, and goes out as the
// socket takes it (the owner bounds it by unsent()). Packets handed down while a read is being
// handed up (the answers to what it brought) are written together once it has been: one system
// call for a burst of answers instead of one each. A socket failure detaches the socket and
// sends a failure status up the stack.

#include "foundation/os/fd.h"
#include "foundation/protocol/protocol.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/measure.h"

#include <sys/types.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// When non-zero the destructor logs its entry.
extern int strm_protocol_debug;

class StrmProtocol : public Protocol {
public:
    StrmProtocol();
    // Attaches a duplicate of fd; the caller keeps its own.
    explicit StrmProtocol(Fd fd);
    ~StrmProtocol() override;

    // Takes a close-on-exec duplicate of fd in place of the current socket. Returns the result
    // of asking the socket for its output queue.
    int attach(Fd fd);
    // Stops reading and closes the socket, when one is attached.
    void release();

    void local_activate() override;
    void local_deactivate() override;
    void message(Packet& p) override;

    void on_event(int fd, short revents);
    void do_read();
    void on_error(const std::string& text);

    int sendbuf_space() const;
    int recvbuf_space() const;
    // Bytes waiting to be read.
    int inq_space() const;
    int outq_space() const;
    // Room left in the send buffer.
    int free_space() const;

    void PutHeader(std::ostream& out) const;

    // Whether writes queue what the socket does not take instead of waiting; off at first.
    void set_queue_writes(bool on) { queue_writes_ = on; }
    // Bytes handed down and not written yet.
    size_t unsent() const { return unsent_.size(); }

    void set_trace_name(const std::string& name) { trace_name_ = name; }
    const std::string& trace_name() const { return trace_name_; }
    // Logs every successful read and write on the debug stream.
    void set_trace(bool on) { trace_ = on; }
    Fd fd() const { return fd_; }
    const Measure& read_measure() const { return read_measure_; }
    const Measure& write_measure() const { return write_measure_; }
    uint32_t overflow_counter() const { return overflow_counter_; }

private:
    void init();
    // One recv into the room: the byte count, or 0 when nothing came or the layer failed.
    ssize_t receive_into(void* room, size_t size);
    // Reads and drops what arrived when the pool has no packet for it.
    void drop_input();
    // Writes the unsent bytes: all of them within the budget, or, queueing writes, what the
    // socket takes now, watching it for room while some are left. False when that ended the layer.
    bool write_unsent();
    // Writes all of it within the budget; false when that failed and ended the layer.
    bool write_all(const unsigned char* data, size_t length);
    // Sends what the socket takes without waiting: the byte count, or -1 (errno set) on a failure.
    ssize_t send_now(const unsigned char* data, size_t length);
    // Logs and counts a write that failed, and ends the layer.
    void write_failed();
    void log_write_success() const;
    // Waits for room in the send buffer within the budget that started at start_ms.
    bool wait_writable(uint32_t start_ms);
    // ", sendbuf=..., recvbuf=..., free=..., inq=..., outq=..."
    void put_queues(std::ostream& out) const;

    std::string trace_name_;
    Fd fd_;
    bool outq_reports_free_ = false;
    bool trace_ = false;
    Event read_event_;
    Measure read_measure_;
    Measure write_measure_;
    uint32_t overflow_counter_ = 0;
    bool delivering_ = false;
    bool queue_writes_ = false;
    std::vector<unsigned char> unsent_;
};
