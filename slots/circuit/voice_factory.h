#pragma once

// The factory of the voice slots ("Voice/mcc", create alternative `voice`): a player of prompt
// files or of a play server, or a recorder to a record server, each on a transparent channel of
// the channel controller allocated for it. It keeps the live players and recorders.

#include "server/slot_factory.h"

#include "asn1/modules/LGCP.h"
#include "foundation/os/fd.h"

#include <iosfwd>
#include <list>
#include <string>

class PlaySlotGeneric;
class RecordSlot;

class VoiceFactory : public SlotFactory {
public:
    static VoiceFactory* instance();

    const char* GetName() const override { return "Voice/mcc"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}

    Slot* CreatePlay(const LGCP::PlayerParams& params);
    // `host` is the record server as "<address>:<port>".
    Slot* CreateRecord(const std::string& host);
    // A slot that is being destroyed leaves its list.
    void OnDestroy(RecordSlot* slot);
    void OnDestroy(PlaySlotGeneric* slot);

    // "voice/mcc[0]: "
    void PutHeader(std::ostream& out) const;

private:
    VoiceFactory() = default;

    // A descriptor of "/dev/mcc/ctl" with a transparent channel allocated, write-only for a
    // player and read-only for a recorder, and the channel's time slot; an empty descriptor
    // after logging why not.
    Fd OpenChannel(bool player, int& timeslot) const;

    const int number = 0;
    std::list<RecordSlot*> recorders;
    std::list<PlaySlotGeneric*> players;
};
