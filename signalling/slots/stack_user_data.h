#pragma once

// The controller's userData for a slot whose protocol stack carries it: the octets go down as one
// message, and a message that a layer refuses, or that finds no packet to wait in, is answered with
// an error saying why.

#include "foundation/protocol/protocols_family.h"
#include "server/slot.h"

#include <vector>

void send_user_data(Slot& slot, ProtocolsFamily& stack, const std::vector<char>& data);
