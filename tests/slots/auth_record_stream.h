#pragma once

// A portslave connection's stream cut into records as the authentication server reads it, for
// the reader's unit test and its fuzz target.

#include "slots/circuit/auth_record_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace authtest {

using Records = std::vector<std::vector<uint8_t>>;

// The records of the stream read in pieces of at most `piece` bytes, up to its end or to a length
// word outside 4 to 512 (`stopped` then says so).
inline Records cut(const uint8_t* data, size_t size, size_t piece, bool* stopped = nullptr)
{
    AuthRecordReader reader;
    Records records;
    auto result = AuthRecordReader::Result::more;
    for (size_t at = 0; at < size && result != AuthRecordReader::Result::bad_length;) {
        size_t count = std::min({piece, reader.wanted(), size - at});
        std::memcpy(reader.space(), data + at, count);
        at += count;
        if ((result = reader.received(count)) == AuthRecordReader::Result::record)
            records.emplace_back(reader.record(), reader.record() + reader.record_length());
    }
    if (stopped)
        *stopped = result == AuthRecordReader::Result::bad_length;
    return records;
}

}  // namespace authtest
