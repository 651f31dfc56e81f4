#include "asn1/runtime/value_notation_stream.h"

namespace ASN1 {

void run_stream_io(std::ios& stream, const std::function<std::ios_base::iostate()>& io)
{
    std::ios_base::iostate state;
    try {
        state = io();
    } catch (...) {
        const bool rethrow = (stream.exceptions() & std::ios_base::badbit) != 0;
        try {
            stream.setstate(std::ios_base::badbit);
        } catch (const std::ios_base::failure&) {
        }
        if (rethrow)
            throw;
        return;
    }
    stream.setstate(state);
}

}  // namespace ASN1
