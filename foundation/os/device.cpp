#include "foundation/os/device.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device_link.h"
#include "foundation/os/fixed_path.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/if.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace Device {

namespace {

// This process's connection to the board emulator. It belongs to one root and one process: a
// test that moves to a fresh root connects anew, and a forked child drops its copy.
struct Link {
    int fd = -1;
    std::string path;
};

Link link;

// The inode of each emulated device this process opened, by descriptor (0: none), so that a request
// names its device without asking the kernel each time. Never destroyed: descriptors are still
// closed by the destructors of other statics at exit.
std::vector<uint64_t>& inodes()
{
    static auto* table = new std::vector<uint64_t>;
    return *table;
}

// Posted requests waiting to leave in one message, and since when the first of them waits.
DeviceLink::PostedMessage posted;
std::chrono::steady_clock::time_point posted_since;

// The inodes of the devices that the posted requests name; never destroyed, like inodes().
std::vector<uint64_t>& posted_devices()
{
    static auto* devices = new std::vector<uint64_t>;
    return *devices;
}

bool posted_to(uint64_t inode)
{
    return std::find(posted_devices().begin(), posted_devices().end(), inode) != posted_devices().end();
}

void drop_link()
{
    if (link.fd >= 0)
        ::close(link.fd);
    link.fd = -1;
    inodes().clear();
    posted.clear();
    posted_devices().clear();
}

bool link_serves(const std::string& board)
{
    if (link.fd < 0)
        return false;
    if (link.path == board)
        return true;
    drop_link();
    return false;
}

bool connect_link(const std::string& board)
{
    static bool fork_handled = false;
    if (!fork_handled) {
        pthread_atfork(nullptr, nullptr, drop_link);
        fork_handled = true;
    }
    drop_link();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (board.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, board.c_str(), board.size() + 1);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Room for several full messages of posted requests, so that an emulator that is slow to get
    // the processor does not hold the daemon up (the kernel doubles what it grants of this).
    int buffer = 2 * DeviceLink::max_posted_message;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    int connected;
    do
        connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (connected < 0 && errno == EINTR);
    if (connected < 0) {
        int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    link = {fd, board};
    return true;
}

bool send_message(const uint8_t* message, size_t length)
{
    ssize_t sent;
    do
        sent = send(link.fd, message, length, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(length);
}

// Posted requests go out before anything else is sent, so that the emulator sees every request in
// the order it was made.
bool send_posted()
{
    if (posted.empty())
        return true;
    const bool sent = send_message(posted.data(), posted.size());
    posted.clear();
    posted_devices().clear();
    return sent;
}

// Waits for the reply to what was sent; a descriptor passed with it goes to *passed (or is closed
// when the caller expects none). Returns the reply's length, or -1 with errno EIO after dropping
// the link when the emulator has gone away.
ssize_t receive_reply(uint8_t* reply, size_t capacity, int* passed)
{
    ssize_t received;
    msghdr header{};
    iovec buffer{reply, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    header.msg_iov = &buffer;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    do
        received = recvmsg(link.fd, &header, MSG_CMSG_CLOEXEC);
    while (received < 0 && errno == EINTR);
    int descriptor = -1;
    if (received > 0) {
        for (cmsghdr* item = CMSG_FIRSTHDR(&header); item; item = CMSG_NXTHDR(&header, item))
            if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_RIGHTS)
                std::memcpy(&descriptor, CMSG_DATA(item), sizeof descriptor);
    }
    if (received <= 0 || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        if (descriptor >= 0)
            ::close(descriptor);
        drop_link();
        errno = EIO;
        return -1;
    }
    if (passed)
        *passed = descriptor;
    else if (descriptor >= 0)
        ::close(descriptor);
    return received;
}

// Sends one message and waits for the reply, as receive_reply() does.
ssize_t exchange(const uint8_t* message, size_t length, uint8_t* reply, size_t capacity, int* passed)
{
    if (!send_posted() || !send_message(message, length)) {
        drop_link();
        errno = EIO;
        return -1;
    }
    return receive_reply(reply, capacity, passed);
}

// Sends the posted requests and waits until the emulator has served them. A device's close
// reaches the emulator on the device's own socket, and must not overtake them.
void settle_posted()
{
    posted.ask_reply();
    uint8_t reply[DeviceLink::max_reply_message];
    if (!send_posted())
        drop_link();
    else
        receive_reply(reply, sizeof reply, nullptr);
}

Fd open_emulated(const std::string& board, const char* path, int flags)
{
    DeviceLink::Open open{static_cast<uint32_t>(flags), path};
    if (open.path.size() > DeviceLink::max_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    uint8_t message[DeviceLink::max_open_message];
    size_t length = DeviceLink::put_open(message, open);
    uint8_t reply[DeviceLink::max_reply_message];
    int descriptor = -1;
    ssize_t received = -1;
    // A connection kept from earlier may find the emulator restarted: then one fresh try.
    for (bool fresh = false; received < 0 && !fresh;) {
        fresh = !link_serves(board);
        if (fresh && !connect_link(board))
            return -1;
        received = exchange(message, length, reply, sizeof reply, &descriptor);
    }
    if (received < 0)
        return -1;

    DeviceLink::Reply answer;
    if (!DeviceLink::get_reply(reply, received, answer) || (answer.result >= 0 && descriptor < 0)) {
        if (descriptor >= 0)
            ::close(descriptor);
        errno = EIO;
        return -1;
    }
    if (answer.result < 0) {
        if (descriptor >= 0)
            ::close(descriptor);
        errno = answer.error ? answer.error : EIO;
        return -1;
    }
    if (flags & O_NONBLOCK)
        NonBlockMode(descriptor);
    struct stat status;
    if (fstat(descriptor, &status) == 0) {
        if (inodes().size() <= static_cast<size_t>(descriptor))
            inodes().resize(descriptor + 1);
        inodes()[descriptor] = status.st_ino;
    }
    return descriptor;
}

// The inode that names fd's device to the emulator; 0 when requests on fd go to the kernel: on the
// board there is no link. A duplicate made after the open is asked for its inode.
uint64_t emulated_inode(int fd)
{
    if (link.fd < 0 || fd < 0)
        return 0;
    if (static_cast<size_t>(fd) < inodes().size() && inodes()[fd])
        return inodes()[fd];
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
        return 0;
    return status.st_ino;
}

int request_emulated(const DeviceLink::Request& request, uint8_t* filled)
{
    if (request.size > DeviceLink::max_record) {
        errno = EINVAL;
        return -1;
    }
    uint8_t message[DeviceLink::max_request_message];
    size_t length = DeviceLink::put_request(message, request);
    uint8_t reply[DeviceLink::max_reply_message];
    ssize_t received = exchange(message, length, reply, sizeof reply, nullptr);
    if (received < 0)
        return -1;
    DeviceLink::Reply answer;
    if (!DeviceLink::get_reply(reply, received, answer) || (filled && answer.size != request.size)) {
        errno = EIO;
        return -1;
    }
    if (filled)
        std::memcpy(filled, answer.record, answer.size);
    if (answer.result < 0) {
        errno = answer.error ? answer.error : EIO;
        return -1;
    }
    return answer.result;
}

// Whether the board emulator listens on the board socket, whose path is then `board`.
bool emulated(std::string& board)
{
    board = fixed_path(DeviceLink::socket_path);
    struct stat status;
    return stat(board.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

Fd open(const char* path, int flags)
{
    std::string board;
    if (emulated(board))
        return open_emulated(board, path, flags);
    return ::open(fixed_path(path).c_str(), flags | O_CLOEXEC);
}

int request(int fd, uint32_t code)
{
    if (uint64_t inode = emulated_inode(fd))
        return request_emulated({DeviceLink::Argument::none, code, inode}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), 0UL);
}

int request_value(int fd, uint32_t code, uint32_t value)
{
    if (uint64_t inode = emulated_inode(fd))
        return request_emulated({DeviceLink::Argument::value, code, inode, value}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), static_cast<unsigned long>(value));
}

int request_in(int fd, uint32_t code, const uint8_t* record, size_t size)
{
    if (uint64_t inode = emulated_inode(fd))
        return request_emulated({DeviceLink::Argument::record, code, inode, 0, record, size}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), const_cast<uint8_t*>(record));
}

int request_inout(int fd, uint32_t code, uint8_t* record, size_t size)
{
    if (uint64_t inode = emulated_inode(fd))
        return request_emulated({DeviceLink::Argument::record, code, inode, 0, record, size}, record);
    return ::ioctl(fd, static_cast<unsigned long>(code), record);
}

int interface_request(int fd, uint32_t code, const char* name, uint32_t type, uint8_t* buffer, size_t size)
{
    std::string board;
    if (!emulated(board)) {
        ifreq request{};
        std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
        request.ifr_settings.type = type;
        request.ifr_settings.size = static_cast<unsigned>(size);
        request.ifr_settings.ifs_ifsu.sync = reinterpret_cast<sync_serial_settings*>(buffer);
        return ::ioctl(fd, static_cast<unsigned long>(code), &request);
    }
    if (size > DeviceLink::interface_buffer) {
        errno = EINVAL;
        return -1;
    }
    Fd device = open(name, O_RDWR);
    if (!device)
        return -1;
    std::array<uint8_t, DeviceLink::interface_record> record{};
    BigEndian::put_u32(record.data(), 0, type);
    BigEndian::put_u32(record.data(), 4, static_cast<uint32_t>(size));
    std::copy_n(buffer, size, record.begin() + 8);
    int result = request_inout(device, code, record);
    int error = errno;
    std::copy_n(record.begin() + 8, size, buffer);
    device.close();
    errno = error;
    return result;
}

// A request on the device is about to be posted.
void note_posted(uint64_t inode)
{
    if (posted.empty())
        posted_since = std::chrono::steady_clock::now();
    if (!posted_to(inode))
        posted_devices().push_back(inode);
}

void post_each_in(int fd, uint32_t code, const uint8_t* records, size_t size, size_t count)
{
    const uint64_t inode = emulated_inode(fd);
    if (!inode || size > DeviceLink::max_record) {
        for (size_t i = 0; i < count; ++i)
            ::ioctl(fd, static_cast<unsigned long>(code), const_cast<uint8_t*>(records + i * size));
        return;
    }
    DeviceLink::Request request{DeviceLink::Argument::record, code, inode, 0, records, size};
    while (count > 0) {
        note_posted(inode);
        const size_t taken = posted.add(request, count);
        count -= taken;
        request.record += taken * size;
        if (count > 0 && !send_posted()) {
            drop_link();
            return;
        }
    }
}

void post_in(int fd, uint32_t code, const uint8_t* record, size_t size) { post_each_in(fd, code, record, size, 1); }

void post_counting_in(int fd, uint32_t code, const uint8_t* record, size_t size, size_t count)
{
    assert(size >= 4 && size <= DeviceLink::max_record);
    const DeviceLink::Request first{DeviceLink::Argument::record, code, emulated_inode(fd), 0, record, size};
    std::array<uint8_t, DeviceLink::max_record> spelt;
    if (!first.inode) {
        for (size_t i = 0; i < count; ++i) {
            DeviceLink::counted_record(first, i, spelt.data());
            ::ioctl(fd, static_cast<unsigned long>(code), spelt.data());
        }
        return;
    }
    DeviceLink::Request request = first;
    for (size_t done = 0; done < count;) {
        note_posted(first.inode);
        done += posted.add_counting(request, count - done);
        if (done == count)
            break;
        if (!send_posted()) {
            drop_link();
            return;
        }
        DeviceLink::counted_record(first, done, spelt.data());
        request.record = spelt.data();
    }
}

void flush_posted()
{
    if (link.fd >= 0 && !send_posted())
        drop_link();
}

int posted_wait_ms()
{
    if (posted.empty())
        return -1;
    using std::chrono::milliseconds;
    const auto left = milliseconds(max_posted_wait_ms) - (std::chrono::steady_clock::now() - posted_since);
    return static_cast<int>(std::max<milliseconds::rep>(std::chrono::ceil<milliseconds>(left).count(), 0));
}

void forget(int fd)
{
    if (fd < 0 || static_cast<size_t>(fd) >= inodes().size() || !inodes()[fd])
        return;
    if (posted_to(inodes()[fd]))
        settle_posted();
    inodes()[fd] = 0;
}

}  // namespace Device
