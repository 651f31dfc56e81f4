#include "signalling/isdn/lapd_full_state.h"

#include <ostream>

namespace ISDN {

const char* statetext(uint32_t state)
{
    static const char* const texts[] = {"TEI unassigned",         "Assign awaiting TEI", "Establish awaiting TEI",
                                        "TEI assigned",           "Awaiting establishment",
                                        "Awaiting release",       "Multiple frame established",
                                        "Timer recovery"};
    return state < sizeof texts / sizeof texts[0] ? texts[state] : "(unknown)";
}

void LAPDFullState::out(std::ostream& os) const
{
    auto timer = [](bool running) { return running ? "running" : "stopped"; };
    os << "\n   - state: " << statetext(state) << "\n   - self: TEI=" << own_tei << ", SAPI=" << own_sapi
       << ", busy=" << int(own_busy) << "\n   - peer: TEI=" << peer_tei << ", SAPI=" << peer_sapi
       << ", busy=" << int(peer_busy) << "\n   - counters: VS=" << unsigned(vs) << ", VA=" << unsigned(va)
       << ", VR=" << unsigned(vr) << ", RC=" << rc << "\n   - internal signals: AckRQ=" << int(acknowledge_request)
       << ", RetrRQ=" << int(retransmission_request) << ", QueuedUp=" << int(queued_up)
       << "\n   - flags: L3Initiated=" << int(l3_initiated) << ", Establishable=" << int(establishable)
       << ", RejectException=" << int(reject_exception) << "\n   - timers: T200 " << timer(t200_running)
       << ", T202 " << timer(t202_running) << ", T203 " << timer(t203_running);
}

}  // namespace ISDN
