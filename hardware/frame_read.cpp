#include "hardware/frame_read.h"

#include <new>
#include <unistd.h>

ssize_t read_frame(int fd, Packet& frame)
{
    try {
        frame.reserve_head(0);
    } catch (const std::bad_alloc&) {
        static unsigned char dropped[packet_max_size];
        return read(fd, dropped, sizeof dropped);
    }
    const ssize_t length = read(fd, frame.tail_space(), frame.tailroom());
    if (length > 0)
        frame.extend(unsigned(length));
    return length;
}
