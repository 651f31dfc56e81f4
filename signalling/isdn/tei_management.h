#pragma once

// The TEI management procedure's frames, shared by the user side of a data link and the network
// side of a basic-rate line: UI frames on SAPI 63 to the group TEI, management entity 0x0F, one
// message type octet.

#include <cstdint>

namespace ISDN::TeiManagement {

constexpr uint8_t ui = 0x03;
constexpr unsigned management_sapi = 63;
constexpr unsigned group_tei = 127;
constexpr uint8_t management_entity = 0x0F;

enum TeiMessage : uint8_t {
    identity_request = 1,
    identity_assigned = 2,
    identity_denied = 3,
    identity_check_request = 4,
    identity_check_response = 5,
    identity_remove = 6,
    identity_verify = 7,
};

}  // namespace ISDN::TeiManagement
