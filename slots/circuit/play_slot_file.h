#pragma once

// A player of prompt files from "/usr/local/voice/": the list in order, once, several times or
// without end, starting with its first listener. It reports its end with `abort` 0 and stays
// until the controller destroys it; a later listener hears nothing.

#include "slots/circuit/play_slot_generic.h"

#include "foundation/reactor/dpc.h"

#include <list>

class PlaySlotFile : public PlaySlotGeneric {
public:
    // A name that is absolute or climbs out with ".." is dropped here, with one log line, and so
    // counts as a missing file.
    PlaySlotFile(Fd channel, const LGCP::PlayerParams_file& params);
    ~PlaySlotFile() override;

    // Starts the first pass; false when no file of the list can be played.
    bool IOnOutputStream() override;

private:
    // From the first name; false when no file could be started.
    bool restart();
    // Plays the next file of the list that opens; false when none is left.
    bool next_phrase();
    void OnPlayComplete(ASync::Copy::Status::Type status);
    // The play is over: the listeners go and the controller hears `abort` 0.
    void Release();
    void delayed_abort();

    std::unique_ptr<ASync::Copy> copy;
    Fd file;
    // Passes still to play; 0 or less plays until the slot is destroyed.
    int repeat;
    // Octets the current pass has played: a pass of empty files ends the play, which would
    // otherwise start pass after pass at once.
    uint64_t passOctets = 0;
    bool started = false;
    // The `abort` of a first connect that found nothing to play, sent once the connect is answered.
    Dpc abortCall;
    std::list<std::string> names;
    std::list<std::string>::const_iterator next;
};
