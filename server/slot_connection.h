#pragma once

// The connection graph of the slots: an edge makes a destination slot receive from a source slot,
// backed by a hardware route. The side with the higher connection priority makes the route; a tie
// goes to the receiver on connect and to the transmitter on disconnect. The default route drives
// the TDM switch output of the destination's receive channel from the source's transmit channel.

class Slot;

// Makes the destination receive from the source, moving it off an old source. False, with the
// graph as it was, when a stream cannot be opened or the route cannot be made.
bool Connect(Slot& source, Slot& destination);
// Takes the destination off its source. The edge goes even when the route cannot be removed
// (then false).
bool Disconnect(Slot& destination);

// The hardware route alone.
bool llConnect(Slot& source, Slot& destination);
bool llDisconnect(Slot& destination);

// The route through the TDM switch. Disconnecting drives the destination's output idle; a
// destination without a receive channel has no route, and nothing is asked.
bool MuxConnect(Slot& source, Slot& destination);
bool MuxDisconnect(Slot& destination);
