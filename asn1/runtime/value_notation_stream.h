#pragma once

// What the value-notation stream operators share: running a print or read under the stream's
// rules for errors.

#include <functional>
#include <ios>

namespace ASN1 {

// Calls io, which returns the state bits to set, and sets them on stream. An exception thrown by
// io makes the stream bad and is thrown on only when the stream's exception mask includes badbit.
void run_stream_io(std::ios& stream, const std::function<std::ios_base::iostate()>& io);

}  // namespace ASN1
