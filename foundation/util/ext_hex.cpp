#include "foundation/util/ext_hex.h"

#include <iomanip>

namespace ext {

std::ostream& OutBufInHex::Put(std::ostream& out) const
{
    std::ios_base::fmtflags flags = out.flags();
    out.flags(std::ios_base::hex | std::ios_base::uppercase | std::ios_base::right);
    out << std::setfill('0');
    for (const uint8_t* p = begin_; p != end_; ++p)
        out << std::setw(2) << unsigned(*p) << ' ';
    out.flags(flags);
    out.fill(' ');
    return out;
}

std::ostream& OutUnsignedInHex::Put(std::ostream& out) const
{
    std::ios_base::fmtflags flags = out.flags();
    out << "0x";
    out.flags(std::ios_base::hex | std::ios_base::uppercase | std::ios_base::right);
    out << std::setfill('0');
    if (width_ > 0)
        out << std::setw(width_);
    out << value_;
    out.flags(flags);
    out.fill(' ');
    return out;
}

}  // namespace ext
