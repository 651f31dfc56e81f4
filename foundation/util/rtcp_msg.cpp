#include "foundation/util/rtcp_msg.h"

#include <algorithm>
#include <cstring>

namespace RTPC {
namespace {

const unsigned max_text = 255;

}  // namespace

unsigned Msg::encode(char* buffer, unsigned size) const
{
    if (size < 8)
        return 0;
    // Whole words only, so that padding a body never runs past the buffer.
    unsigned room = size & ~3u;
    unsigned body = encode_body(buffer + 4, room - 4);
    if (body == 0)
        return 0;
    unsigned total = 4 + body;
    while (total % 4)
        buffer[total++] = 0;
    unsigned words = total / 4 - 1;
    buffer[0] = char(0x80 | (count() & 31));
    buffer[1] = char(pt());
    buffer[2] = char(words >> 8);
    buffer[3] = char(words);
    return total;
}

void Msg::put_ssrc(char* body) const
{
    body[0] = char(ssrc_ >> 24);
    body[1] = char(ssrc_ >> 16);
    body[2] = char(ssrc_ >> 8);
    body[3] = char(ssrc_);
}

unsigned SDES::encode_body(char* body, unsigned size) const
{
    // The SSRC and the zero octet that closes the chunk, padded to a word.
    if (size < 8)
        return 0;
    put_ssrc(body);
    unsigned length = 4;
    for (const Item& item : items_) {
        unsigned n = std::min<size_t>(item.text.size(), max_text);
        if (length + 2 + n + 1 > size)
            break;
        body[length++] = char(item.type);
        body[length++] = char(n);
        std::memcpy(body + length, item.text.data(), n);
        length += n;
    }
    body[length++] = 0;
    return length;
}

unsigned BYE::encode_body(char* body, unsigned size) const
{
    put_ssrc(body);
    unsigned left = size - 4;
    if (reason_.empty() || left == 0)
        return 4;
    unsigned n = std::min<size_t>({reason_.size(), max_text, left - 1});
    body[4] = char(n);
    std::memcpy(body + 5, reason_.data(), n);
    return 5 + n;
}

}  // namespace RTPC
