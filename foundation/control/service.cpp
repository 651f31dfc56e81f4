#include "foundation/control/service.h"

#include "foundation/log/profile.h"
#include "foundation/protocol/strm_protocol.h"
#include "foundation/protocol/tpkt_protocol.h"

#include <iostream>
#include <new>

namespace Control {

Service::Service(bool verbose) : verbose_(verbose), stream_(new StrmProtocol), tpkt_(new Tpkt_protocol)
{
    add_protocol_tail(stream_);
    add_protocol_tail(tpkt_);
    deactivation_.Bind(this, &Service::OnDeactivateDPC);
}

Service::~Service() = default;

bool Service::Activate()
{
    Deactivate();
    state_ = State::Connecting;
    if (ImplActivate())
        return true;
    state_ = State::Idle;
    return false;
}

void Service::Deactivate()
{
    // A connection that ended just before must not bring the service back to Connecting.
    deactivation_.Deactivate();
    ImplDeactivate();
    Release();
    state_ = State::Idle;
}

void Service::Disconnect()
{
    if (state_ == State::Connected)
        deactivate();
}

void Service::Send(const char* data, int length)
{
    switch (state_) {
    case State::Connected: {
        if (length < 0 || unsigned(length) > Tpkt_protocol::max_payload) {
            std::cerr << "Control::Service::Send() message of " << length << " bytes refused, a frame holds at most "
                      << Tpkt_protocol::max_payload << "." << std::endl;
            return;
        }
        const size_t frame = Tpkt_protocol::header_size + unsigned(length);
        if (send_queue_limit_ != 0 && queued_bytes() + frame > send_queue_limit_) {
            if (verbose_)
                std::cerr << service_name() << ": send queue overflow, " << queued_bytes()
                          << " bytes unsent; connection dropped." << std::endl;
            Disconnect();
            return;
        }
        static Profile::Point prepare_point("Control::Service::Send [1]");
        prepare_point.begin();
        Packet p;
        try {
            prepare_head(p);
        } catch (const std::bad_alloc&) {
            prepare_point.end();
            std::cerr << "Control::Service::Send() packet pool exhausted, message of " << length
                      << " bytes dropped." << std::endl;
            return;
        }
        p.passert(!p.is_null(), "null packet");
        p.passert(unsigned(length) <= p.tailroom(), "len<=_tailroom()");
        if (length > 0)
            p.put(reinterpret_cast<const unsigned char*>(data), unsigned(length));
        prepare_point.end();
        static Profile::Point send_point("Control::Service::Send [2]");
        send_point.begin();
        message(p);
        send_point.end();
        break;
    }
    case State::Deactivating:
        break;
    default:
        // Periodic senders go on without a peer: one line per absence, not per request.
        if (ignore_logged_) {
            ++ignored_sends_;
            break;
        }
        ignore_logged_ = true;
        if (verbose_)
            std::cerr << "Control::Service::Send() ignore Send request in " << GetTextNotation(state_) << " state."
                      << std::endl;
        break;
    }
}

void Service::LimitSendQueue(size_t limit)
{
    send_queue_limit_ = limit;
    stream_->set_queue_writes(limit != 0);
}

size_t Service::queued_bytes() const { return stream_->unsent(); }

void Service::Release()
{
    stream_->release();
    tpkt_->reset();
}

const std::string& Service::service_name() const { return stream_->trace_name(); }

void Service::service_name(const std::string& name) { stream_->set_trace_name(name); }

void Service::frame_layer_name(const std::string& name) { tpkt_->set_name(name); }

uint32_t Service::GetOverflowCounter() const { return stream_->overflow_counter(); }

const Measure& Service::get_read_measure() const { return stream_->read_measure(); }

const Measure& Service::get_write_measure() const { return stream_->write_measure(); }

void Service::Connected(Fd socket, const std::string& peer)
{
    if (state_ == State::Deactivating)
        return;
    connection_name_ = peer;
    state_ = State::Connected;
    if (ignored_sends_ != 0 && verbose_)
        std::cerr << "Control::Service::Send() ignored " << ignored_sends_ << " more Send requests without a peer."
                  << std::endl;
    ignore_logged_ = false;
    ignored_sends_ = 0;
    stream_->attach(socket);
    activate();
    if (receiver_)
        receiver_->OnConnect();
}

void Service::on_message(Packet& p)
{
    // Frames left in a chunk after the receiver ended or dropped the connection go nowhere.
    if (state_ != State::Connected || !receiver_)
        return;
    p.passert(!p.is_null(), "null packet");
    receiver_->OnMessage(reinterpret_cast<const char*>(p.data()), int(p.length()));
}

void Service::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>)
{
    if (verbose_)
        std::cerr << "control connection " << connection_name_ << " closed." << std::endl;
    state_ = State::Deactivating;
    // The stack is still inside its own callback: the receiver hears of the end from outside.
    deactivation_.Activate();
}

void Service::OnDeactivateDPC()
{
    deactivation_.Deactivate();
    state_ = State::Connecting;
    ImplOnDisconnect();
    // Last: the receiver may reactivate or delete the service.
    if (receiver_)
        receiver_->OnDisconnect();
}

const char* GetTextNotation(Service::State::Type state)
{
    switch (state) {
    case Service::State::Idle:
        return "Idle";
    case Service::State::Connecting:
        return "Connecting";
    case Service::State::Deactivating:
        return "Deactivating";
    case Service::State::Connected:
        return "Connected";
    }
    return "Unknown";
}

}  // namespace Control
