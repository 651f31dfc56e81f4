#pragma once

// A snapshot of a packet taken for a fatal report, so the report shows the state at the fault.

#include <cstddef>
#include <iosfwd>
#include <vector>

class Packet;

class PacketInfo {
public:
    explicit PacketInfo(const Packet& packet);
    void put(std::ostream& os) const;

private:
    bool null_ = true;
    bool valid_ = false;
    std::ptrdiff_t head_ = 0;
    std::ptrdiff_t data_ = 0;
    std::ptrdiff_t tail_ = 0;
    std::vector<unsigned char> window_;
};

inline std::ostream& operator<<(std::ostream& os, const PacketInfo& info)
{
    info.put(os);
    return os;
}
