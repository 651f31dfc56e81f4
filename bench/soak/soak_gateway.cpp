#include "soak/soak_gateway.h"

#include "tests/support/daemon_process.h"

#include "foundation/os/device.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace soak {

namespace {

const char configuration[] = "[traces]\nsignalling.hdlc = false\nsignalling.lemzgw = false\n"
                             "signalling.events = false\nsignalling.isdn = false\nmonitoring.internal = false\n";

}  // namespace

SoakGateway::SoakGateway()
{
    own_network_ = enter_own_network();
    emulator_ = std::make_unique<testsupport::EmulatorProcess>(
        root_.path(), std::string(TOVRASEL_SOURCE_DIR) + "/emulator/boards/default.board");
    install_stand_ins();
    root_.write_file("/usr/local/etc/server.conf", configuration);

    record_listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = testsupport::loopback(0);
    socklen_t length = sizeof address;
    if (bind(record_listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(record_listener_, 16) != 0 || pipe2(stop_pipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make the record server");
    getsockname(record_listener_, reinterpret_cast<sockaddr*>(&address), &length);
    record_port_ = ntohs(address.sin_port);
    record_server_ = std::thread([this] { serve_records(); });

    daemon_ = testsupport::start_daemon(root_.path(), {}, port_, [] { return true; }, [] {});
}

SoakGateway::~SoakGateway()
{
    daemon_.reset();
    if (stop_pipe_[1] >= 0 && write(stop_pipe_[1], "x", 1) == 1)
        record_server_.join();
    for (int fd : {record_listener_, stop_pipe_[0], stop_pipe_[1]})
        if (fd >= 0)
            close(fd);
    emulator_.reset();
    for (int fd : interfaces_)
        close(fd);
}

bool SoakGateway::enter_own_network()
{
    if (unshare(CLONE_NEWNET) != 0)
        return false;
    int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    request.ifr_flags = IFF_UP;
    bool up = control >= 0 && ioctl(control, SIOCSIFFLAGS, &request) == 0;
    if (control >= 0)
        close(control);
    if (!up)
        throw std::runtime_error("no loopback in the soak's own network");
    for (int n = 0; n < 8; ++n) {
        int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
        request = ifreq{};
        std::snprintf(request.ifr_name, IFNAMSIZ, "hdlc%d", n);
        request.ifr_flags = IFF_TUN | IFF_NO_PI;
        if (fd < 0 || ioctl(fd, TUNSETIFF, &request) != 0) {
            if (fd >= 0)
                close(fd);
            return false;
        }
        interfaces_.push_back(fd);
    }
    return true;
}

void SoakGateway::install_stand_ins()
{
    const std::string stand_in = std::string(TOVRASEL_SOURCE_DIR) + "/tests/system/stand_in_program.sh";
    for (const char* program : {"/usr/local/sbin/pppd", "/usr/local/sbin/fax", "/usr/local/bin/fax", "/stand-in/t38"})
        std::filesystem::copy_file(stand_in, root_.prepare(program));
    // The T.38 program also answers the instance count, at once.
    root_.write_file("/usr/local/sbin/t38", "#!/bin/sh\n[ \"$1\" = --num-of-instances ] && { echo 0; exit 0; }\n"
                                            "exec \"$TOVRASEL_ROOT/stand-in/t38\" \"$@\"\n");
    std::filesystem::permissions(root_ / "/usr/local/sbin/t38", std::filesystem::perms::owner_all);
    root_.write_file("/stand-in/behaviour", "wait");
}

void SoakGateway::serve_records()
{
    std::vector<pollfd> watched{{stop_pipe_[0], POLLIN, 0}, {record_listener_, POLLIN, 0}};
    char buffer[65536];
    for (;;) {
        if (poll(watched.data(), watched.size(), -1) < 0)
            continue;
        if (watched[0].revents)
            break;
        if (watched[1].revents) {
            int fd = accept4(record_listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                watched.push_back({fd, POLLIN, 0});
        }
        for (size_t i = 2; i < watched.size();) {
            if (watched[i].revents && recv(watched[i].fd, buffer, sizeof buffer, 0) <= 0) {
                close(watched[i].fd);
                watched.erase(watched.begin() + i);
            } else {
                ++i;
            }
        }
    }
    for (size_t i = 2; i < watched.size(); ++i)
        close(watched[i].fd);
}

std::vector<std::string> SoakGateway::board(const std::string& line)
{
    const std::string command = line + '\n';
    if (write(emulator_->control(), command.data(), command.size()) != static_cast<ssize_t>(command.size()))
        throw std::runtime_error("the board emulator takes no command");
    auto next_line = [this] {
        std::string text;
        char c;
        while (read(emulator_->control(), &c, 1) == 1 && c != '\n')
            text += c;
        return text;
    };
    std::vector<std::string> answer{next_line()};
    if (answer[0].rfind("ok ", 0) == 0)
        for (int lines = std::stoi(answer[0].substr(3)); lines > 0; --lines)
            answer.push_back(next_line());
    return answer;
}

void SoakGateway::release_kept_modems()
{
    for (const std::string& line : board("state /dev/mctl")) {
        // "modem=<n> kept timeslot=..."
        if (line.rfind("modem=", 0) != 0 || line.find(" kept ") == std::string::npos)
            continue;
        Fd data = Device::open(("/dev/mdm" + line.substr(6, line.find(' ') - 6)).c_str(), O_RDWR);
        if (data.get() < 0)
            throw std::runtime_error("cannot open the data device of " + line);
        data.close();
    }
}

std::string SoakGateway::stop_daemon()
{
    daemon_->signal(SIGTERM);
    daemon_->wait(testsupport::milliseconds(60000));
    return daemon_->errors();
}

}  // namespace soak
