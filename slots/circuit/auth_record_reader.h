#pragma once

// Cuts the byte stream of a portslave connection into whole records (auth_record.h): first the
// length word, then the rest of the record it announces. It says where and how much to read
// next, so that a read never takes bytes of the record behind, and the records of one connection
// come out in order whatever way the stream was cut.

#include "slots/circuit/auth_record.h"

#include <array>
#include <cstddef>
#include <cstdint>

class AuthRecordReader {
public:
    enum class Result {
        more,        // the record is not whole yet
        record,      // record() holds a whole record
        bad_length,  // a length word outside 4 to 512: the stream cannot be cut any further
    };

    // Where the next read puts its bytes, and at most how many.
    uint8_t* space() { return buffer_.data() + fill_; }
    size_t wanted() const { return limit_ - fill_; }

    // Takes `count` bytes read into space(), 1 to wanted().
    Result received(size_t count);

    // After Result::record, until the next read: the record, its length word included.
    const uint8_t* record() const { return buffer_.data(); }
    size_t record_length() const { return record_length_; }

private:
    std::array<uint8_t, attr::max_length> buffer_{};
    size_t fill_ = 0;
    size_t limit_ = sizeof(uint32_t);
    size_t record_length_ = 0;
};
