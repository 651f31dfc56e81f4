#include "signalling/isdn/lapd_status.h"

#include <ostream>
#include <utility>

namespace ISDN {

LAPD::Status::Status(LAPD* origin, std::string message)
    : Protocol_status_error(origin, std::move(message)),
      LAPDFullState(origin ? static_cast<const LAPDFullState&>(*origin) : LAPDFullState())
{
}

void LAPD::Status::out(std::ostream& os) const
{
    os << message();
    LAPDFullState::out(os);
}

}  // namespace ISDN
