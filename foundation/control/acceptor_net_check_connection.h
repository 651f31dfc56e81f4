#pragma once

// The controller's acceptor. A peer that knocks while a connection stands is refused, and the
// refusal starts probing the standing connection with fast keep-alives: a connection whose TCP
// state leaves established, whose congestion-avoidance state stays disturbed over two checks,
// or that carries a socket error is dropped, so that the new peer gets in on its next attempt.

#include "foundation/control/acceptor_net.h"
#include "foundation/reactor/timer.h"

namespace Control {

class AcceptorNetCheckConnection : public AcceptorNet {
public:
    AcceptorNetCheckConnection() : AcceptorNetCheckConnection(0, true) {}
    explicit AcceptorNetCheckConnection(int port) : AcceptorNetCheckConnection(port, true) {}
    AcceptorNetCheckConnection(int port, bool verbose) : AcceptorNet(port, verbose) {}
    ~AcceptorNetCheckConnection() override;

    // Checks the standing connection, if any, and comes back in 1000 ms.
    void CheckConnection();
    void OnCheckConnectionTimeout(Timer* timer);
    // Probing: first keep-alive after 1 s idle, then every 1 s, dead after 3 unanswered.
    // Otherwise the system's usual 7200 s, 75 s and 9.
    void SetupKeepAlive(bool probing);

protected:
    // Always true: the checks run even while the listening socket is missing.
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override;
    void ImplRefuseConnection() override;
    void ImplConnected(Fd socket) override;

private:
    struct Check {
        enum Type { Idle = 0, CheckConnection = 1 };
    };

    // The connection has ended: its socket is closed at last and probing stops.
    void ForgetConnection();

    Timer check_timer_;
    // Our own duplicate of the standing connection's socket.
    Fd watched_;
    Check::Type check_state_ = Check::Idle;
    int countdown_ = 0;
};

}  // namespace Control
