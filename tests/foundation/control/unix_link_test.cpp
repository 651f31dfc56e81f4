#include "foundation/control/acceptor_unix.h"
#include "foundation/control/connector_unix.h"
#include "control_test_support.h"
#include "support/temp_root.h"

#include <sys/un.h>

namespace {

using namespace controltest;
using UnixLinkTest = ControlTest;

TEST_F(UnixLinkTest, ConnectorReachesTheAcceptorThroughAStaleSocketFileAndSendsWhatAFrameHolds)
{
    testsupport::TempRoot root;
    const std::string server_path = root.path() + "/control.sock", client_path = root.path() + "/client.sock";
    // A socket file left behind by an earlier listener.
    const int stale = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    server_path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);

    LineLog out(std::cout), errors(std::cerr), debug(std::clog);
    Receiver server_side, client_side;
    Control::AcceptorUnix acceptor(server_path);
    server_side.echo = &acceptor;
    acceptor.Bind(&server_side);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_TRUE(errors.lines.empty());

    Control::ConnectorUnix connector(server_path, client_path);
    connector.Bind(&client_side);
    ASSERT_TRUE(connector.Activate());
    EXPECT_EQ(debug.texts(), Strings{"connected to " + server_path});
    EXPECT_EQ(connector.state(), Control::Service::State::Connected);
    EXPECT_EQ(client_side.connects, 1);
    ASSERT_TRUE(run_until([&] { return server_side.connects == 1; }));
    EXPECT_EQ(out.texts(), Strings{"new connection from " + client_path});
    EXPECT_EQ(acceptor.connection_name(), client_path);

    // A length no frame can hold is refused with a line each, and the link goes on.
    const std::string huge(70000, 'x');
    for (int length : {-1, 65532, 70000})
        connector.Send(huge.data(), length);
    ASSERT_EQ(errors.lines.size(), 3u);
    EXPECT_EQ(errors.lines[2].text,
              "Control::Service::Send() message of 70000 bytes refused, a frame holds at most 65531.");
    connector.Send("abc", 3);
    ASSERT_TRUE(run_until([&] { return client_side.messages.size() == 1; }));
    EXPECT_EQ(client_side.messages, Strings{"abc"});
    EXPECT_EQ(server_side.events, (Strings{"connect", "message"}));
    // Deactivated while its end waits for the next pass, the service tells its receiver nothing.
    connector.Disconnect();
    connector.Deactivate();
    testsupport::run_reactor_for(1);
    EXPECT_EQ(client_side.disconnects, 0);
    acceptor.Deactivate();
    EXPECT_EQ(access(server_path.c_str(), F_OK), 0);
}

}  // namespace
