#include "signalling/isdn/lapd_stats.h"

#include <ostream>

namespace ISDN {

void LAPDStats::out(std::ostream& os) const
{
    os << "\n   - timers expire count: T200: " << t200_expiries << ", T202: " << t202_expiries
       << ", T203: " << t203_expiries << "\n   - errors: " << errors << ", retrains: " << retrains
       << "\n   - queue overflows: out: " << out_overflows << ", ack: " << ack_overflows;
}

}  // namespace ISDN
