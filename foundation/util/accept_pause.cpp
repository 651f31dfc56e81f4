#include "foundation/util/accept_pause.h"

#include <cerrno>
#include <cstring>
#include <iostream>

void AcceptPause::Check(Event& listener, const char* header, bool verbose)
{
    if (errno != EMFILE && errno != ENFILE)
        return;
    if (verbose)
        std::cerr << header << "can't accept: " << std::strerror(errno) << ", trying again in " << pause_ms << " ms"
                  << std::endl;
    listener_ = &listener;
    events_ = listener.events();
    // Its own descriptor: only the mask changes, no descriptor is needed.
    listener.Schedule(listener.fd(), 0);
    timer_.set(pause_ms, &AcceptPause::Resume, this);
}

void AcceptPause::Resume() { listener_->Schedule(listener_->fd(), events_); }
