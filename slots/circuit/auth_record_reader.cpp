#include "slots/circuit/auth_record_reader.h"

#include "foundation/os/big_endian.h"

AuthRecordReader::Result AuthRecordReader::received(size_t count)
{
    fill_ += count;
    if (fill_ < limit_)
        return Result::more;
    if (fill_ == sizeof(uint32_t)) {
        uint32_t length = BigEndian::get_u32(buffer_.data(), 0);
        if (length < attr::min_length || length > attr::max_length) {
            fill_ = 0;
            return Result::bad_length;
        }
        if (length > fill_) {
            limit_ = length;
            return Result::more;
        }
    }
    record_length_ = fill_;
    fill_ = 0;
    limit_ = sizeof(uint32_t);
    return Result::record;
}
