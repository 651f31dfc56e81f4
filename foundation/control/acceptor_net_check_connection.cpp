#include "foundation/control/acceptor_net_check_connection.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace Control {

namespace {

constexpr unsigned check_period_ms = 1000;
// Checks with a disturbed congestion-avoidance state before a probed connection counts as dead.
constexpr int probe_checks = 2;
// The part of the kernel's TCP information record that the board's kernel gives; only its two
// leading state bytes are read.
constexpr socklen_t tcp_info_size = 92;

void set_tcp_option(int socket, int option, int value)
{
    setsockopt(socket, IPPROTO_TCP, option, &value, sizeof value);
}

}  // namespace

AcceptorNetCheckConnection::~AcceptorNetCheckConnection() { watched_.close(); }

bool AcceptorNetCheckConnection::ImplActivate()
{
    AcceptorNet::ImplActivate();
    CheckConnection();
    return true;
}

void AcceptorNetCheckConnection::ImplDeactivate()
{
    check_timer_.reset();
    ForgetConnection();
    AcceptorNet::ImplDeactivate();
}

void AcceptorNetCheckConnection::ImplOnDisconnect() { ForgetConnection(); }

void AcceptorNetCheckConnection::ForgetConnection()
{
    watched_.close();
    check_state_ = Check::Idle;
}

void AcceptorNetCheckConnection::ImplConnected(Fd socket)
{
    watched_.close();
    watched_ = Fd(socket.dup());
}

void AcceptorNetCheckConnection::ImplRefuseConnection()
{
    if (check_state_ != Check::Idle)
        return;
    check_state_ = Check::CheckConnection;
    countdown_ = probe_checks;
    SetupKeepAlive(true);
    if (verbose())
        std::clog << "CheckConnectionState CheckConnection" << std::endl;
}

void AcceptorNetCheckConnection::SetupKeepAlive(bool probing)
{
    const int on = 1;
    setsockopt(watched_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    set_tcp_option(watched_, TCP_KEEPIDLE, probing ? 1 : 7200);
    set_tcp_option(watched_, TCP_KEEPINTVL, probing ? 1 : 75);
    set_tcp_option(watched_, TCP_KEEPCNT, probing ? 3 : 9);
}

void AcceptorNetCheckConnection::OnCheckConnectionTimeout(Timer*) { CheckConnection(); }

void AcceptorNetCheckConnection::CheckConnection()
{
    if (state() == State::Connected) {
        bool dead = false;
        tcp_info info;
        std::memset(&info, 0, sizeof info);
        socklen_t size = tcp_info_size;
        if (getsockopt(watched_, IPPROTO_TCP, TCP_INFO, &info, &size) == 0) {
            if (info.tcpi_state != TCP_ESTABLISHED) {
                if (verbose())
                    std::cerr << "connection from " << connection_name() << " closed: tcp socket change state."
                              << std::endl;
                dead = true;
            }
            if (check_state_ == Check::CheckConnection) {
                if (info.tcpi_ca_state != TCP_CA_Open) {
                    if (countdown_ > 0)
                        --countdown_;
                    if (countdown_ < 1) {
                        if (verbose())
                            std::cerr << "connection from " << connection_name()
                                      << " closed: tcp socket change ca_state." << std::endl;
                        dead = true;
                    }
                } else {
                    check_state_ = Check::Idle;
                    SetupKeepAlive(false);
                    if (verbose())
                        std::clog << "CheckConnectionState Idle" << std::endl;
                }
            }
        }
        int error = 0;
        socklen_t error_size = sizeof error;
        if (getsockopt(watched_, SOL_SOCKET, SO_ERROR, &error, &error_size) != 0)
            error = errno;
        if (error != 0) {
            if (verbose())
                std::cerr << "connection from " << connection_name() << " closed: " << std::strerror(error)
                          << std::endl;
            dead = true;
        }
        if (dead) {
            check_state_ = Check::Idle;
            SetupKeepAlive(false);
            Disconnect();
            if (verbose())
                std::clog << "CheckConnectionState Idle" << std::endl;
        }
    }
    check_timer_.set(check_period_ms, &AcceptorNetCheckConnection::OnCheckConnectionTimeout, this);
}

}  // namespace Control
