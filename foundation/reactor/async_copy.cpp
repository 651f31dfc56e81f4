#include "foundation/reactor/async_copy.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ASync {

namespace {

constexpr unsigned kDefaultBufferSize = 1024;
constexpr short kBroken = POLLERR | POLLHUP | POLLNVAL;

// Changes what the next poll watches; the event keeps its descriptor.
void watch(Event& event, short mask)
{
    if (event.events() != mask)
        event.Schedule(event.fd(), mask);
}

}  // namespace

Copy::Copy() = default;

Copy::~Copy()
{
    delete handler_;
    source_.close();
    destination_.close();
}

void Copy::Bind(Handler* handler)
{
    Handler* old = handler_;
    handler_ = handler;
    if (old != handler)
        delete old;
}

void Copy::set_events(const EventsParams& events)
{
    masks_ = events;
    Complete(Status::cancelled);
}

void Copy::set_bufsize(unsigned size)
{
    if (size == 0)
        return;
    buffer_.assign(size, 0);
    Complete(Status::cancelled);
}

void Copy::Start(Fd source, Fd destination)
{
    status_ = Status::copying;
    source_.close();
    source_ = source.dup();
    destination_.close();
    destination_ = destination.dup();
    struct stat status;
    destination_socket_ = fstat(destination_, &status) == 0 && S_ISSOCK(status.st_mode);
    source_event_.Release();
    destination_event_.Release();
    source_event_.Bind("Copy::OnSrcEvent", &Copy::OnSrcEvent, this);
    destination_event_.Bind("Copy::OnDstEvent", &Copy::OnDstEvent, this);
    if (buffer_.empty())
        buffer_.assign(kDefaultBufferSize, 0);
    source_event_.Schedule(source_, 0);
    destination_event_.Schedule(destination_, 0);
    error_ = 0;
    copied_ = 0;
    step_ = &Copy::SrcReady;
    Progress();
}

void Copy::Stop()
{
    if (status_ == Status::copying)
        GoFlush();
}

void Copy::Progress()
{
    // A step that completes the copy returns false and touches nothing afterwards.
    while ((this->*step_)()) {
    }
}

bool Copy::SrcReady()
{
    errno = 0;
    ssize_t count = read(source_, buffer_.data(), buffer_.size());
    if (count > 0) {
        write_pos_ = buffer_.data();
        end_ = write_pos_ + count;
        GoWriting();
        return true;
    }
    if (count == 0)
        return GoFlush();
    if (errno == EAGAIN) {
        watch(source_event_, masks_.source);
        watch(destination_event_, 0);
        return false;
    }
    if (copied_ == 0) {
        error_ = errno;
        Complete(Status::failed);
        return false;
    }
    // A read error after data has flowed ends the source like its end.
    return GoFlush();
}

bool Copy::DstReady()
{
    // A peer that is gone must not raise SIGPIPE in a program that does not handle it.
    const size_t length = size_t(end_ - write_pos_);
    ssize_t count = destination_socket_ ? send(destination_, write_pos_, length, MSG_NOSIGNAL)
                                        : write(destination_, write_pos_, length);
    if (count < 0 && errno == EAGAIN) {
        watch(source_event_, 0);
        watch(destination_event_, masks_.destination);
        return false;
    }
    if (count <= 0) {
        error_ = count < 0 ? errno : 0;
        Complete(Status::failed);
        return false;
    }
    copied_ += uint32_t(count);
    write_pos_ += count;
    if (write_pos_ < end_)
        return true;
    if (status_ == Status::draining)
        return GoFlushDst();
    GoReading();
    return true;
}

void Copy::GoReading()
{
    watch(source_event_, masks_.source);
    watch(destination_event_, 0);
    step_ = &Copy::SrcReady;
}

void Copy::GoWriting()
{
    watch(source_event_, 0);
    watch(destination_event_, masks_.destination);
    step_ = &Copy::DstReady;
}

bool Copy::GoFlush()
{
    source_event_.Release();
    source_.close();
    if (step_ == &Copy::DstReady) {
        status_ = Status::draining;
        return true;
    }
    return GoFlushDst();
}

bool Copy::GoFlushDst()
{
    if (masks_.flush == 0) {
        Complete(Status::done);
        return false;
    }
    watch(destination_event_, masks_.flush);
    step_ = &Copy::NotReady;
    status_ = Status::flushing;
    return true;
}

void Copy::OnSrcEvent(int, short revents)
{
    if (revents & masks_.source) {
        Progress();
    } else if (revents & kBroken) {
        // The read step then meets the end or the error.
        source_event_.Release();
        Progress();
    }
}

void Copy::OnDstEvent(int, short revents)
{
    if (revents & kBroken) {
        error_ = 0;
        Complete(Status::failed);
        return;
    }
    switch (status_) {
    case Status::copying:
    case Status::draining:
        if (revents & masks_.destination)
            Progress();
        break;
    case Status::flushing:
        if (revents & masks_.flush)
            Complete(Status::done);
        break;
    default:
        break;
    }
}

bool Copy::running() const
{
    return status_ == Status::copying || status_ == Status::draining || status_ == Status::flushing;
}

void Copy::Complete(Status::Type status)
{
    if (!running())
        return;
    source_event_.UnBind();
    destination_event_.UnBind();
    status_ = status;
    source_event_.Release();
    destination_event_.Release();
    source_.close();
    destination_.close();
    step_ = &Copy::NotReady;
    if (handler_)
        handler_->Invoke(status);
}

}  // namespace ASync
