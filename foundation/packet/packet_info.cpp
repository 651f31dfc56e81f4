#include "foundation/packet/packet_info.h"

#include "foundation/packet/packet.h"

#include <ostream>

PacketInfo::PacketInfo(const Packet& packet)
{
    const _Packet* block = packet.get();
    if (!block)
        return;
    null_ = false;
    head_ = block->fdata - block->buffer;
    data_ = block->ftail - block->fdata;
    tail_ = block->buffer_end() - block->ftail;
    valid_ = block->window_valid();
    if (valid_)
        window_.assign(block->fdata, block->ftail);
}

void PacketInfo::put(std::ostream& os) const
{
    if (null_) {
        os << "(null)" << std::endl;
        return;
    }
    os << std::dec << "head=" << head_ << ", data=" << data_ << ", tail=" << tail_ << std::endl;
    if (!valid_) {
        os << "can't dump packet: wrong pointers" << std::endl;
        return;
    }
    if (window_.empty())
        return;
    os << "dump:" << std::endl;
    for (unsigned char byte : window_)
        os << ' ' << std::hex << unsigned(byte);
    os << std::dec << std::endl;
}
