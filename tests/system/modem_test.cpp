// Modem slots driven by the test controller: what the modem drivers are asked (the emulator's
// journal), what pppd is started with (a stand-in program in the root records its arguments),
// how pppd is stopped, and portslave's records on the wire.
//
// Each test runs in a network namespace of its own, so that its daemon has port 52000 (the
// authentication server's) to itself and digital modems find the test's own "hdlc<n>"
// interfaces; where the process may not make one, the tests are skipped.

#include "gateway.h"

#include "support/daemon_process.h"
#include "support/journal_requests.h"
#include "support/own_network.h"

#include "foundation/os/big_endian.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const milliseconds answer_time(10000);
const std::string plain = "cid \"\", cdid \"\"";

// A portslave record of the length with its header; an authentication request carries the texts.
Bytes record(size_t length, uint32_t type, int modem, const std::string& user = "", const std::string& password = "")
{
    Bytes bytes(140);
    BigEndian::put_u32(bytes.data(), 0, static_cast<uint32_t>(length));
    BigEndian::put_u32(bytes.data(), 4, type);
    BigEndian::put_i32(bytes.data(), 8, modem);
    std::copy(user.begin(), user.end(), bytes.begin() + 12);
    std::copy(password.begin(), password.end(), bytes.begin() + 76);
    bytes.resize(length);
    return bytes;
}

// What an activation with the test's addresses sends portslave for the modem: the acceptance and
// the IP parameters.
Bytes activation(int modem)
{
    Bytes accept = record(16, 2, modem), ip = record(36, 3, modem);
    BigEndian::put_u32(accept.data(), 12, 1);
    size_t at = 12;
    for (uint32_t word : {0x0A000002u, 0xFFFFFF00u, 0x0A000001u, 0x0A000035u, 1500u})
        BigEndian::put_u32(ip.data(), at += 4, word);
    accept.insert(accept.end(), ip.begin(), ip.end());
    return accept;
}

// A connection of portslave to the daemon's authentication server.
class Portslave : public testsupport::LoopbackConnection {
public:
    Portslave() { EXPECT_TRUE(connect_to(52000)); }
    void send(const Bytes& bytes) { ASSERT_EQ(write(fd(), bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // The next bytes, as many as asked for; fewer when the daemon closes the connection first.
    Bytes receive(size_t count)
    {
        timeval wait{answer_time.count() / 1000, 0};
        setsockopt(fd(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        Bytes bytes(count);
        bytes.resize(std::max<ssize_t>(recv(fd(), bytes.data(), count, MSG_WAITALL), 0));
        return bytes;
    }
    std::string local() const
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(fd(), reinterpret_cast<sockaddr*>(&address), &length);
        return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
};

class Modems : public ::testing::Test {
protected:
    void start(const Lines& interfaces = {})
    {
        if (!network.enter(interfaces))
            GTEST_SKIP() << "no network namespace of its own for this test: " << std::strerror(errno);
        Gateway::Options options = Gateway::quiet();
        options.start = false;
        gateway = std::make_unique<Gateway>(options);
        std::filesystem::copy_file(std::filesystem::path(__FILE__).parent_path() / "stand_in_program.sh",
                                   gateway->root.prepare("/usr/local/sbin/pppd"));
        behave("wait");
        gateway->board.set("/dev/mctl", "modems 2");
        gateway->start();
        controller = gateway->controller("controller", Lines{"--timeout", "60000"});
    }
    void behave(const std::string& behaviour) { gateway->root.write_file("/stand-in/behaviour", behaviour); }
    // The arguments the stand-in wrote for the n-th program started, once it has started.
    std::string started(size_t n)
    {
        std::string text;
        eventually(
            [&] {
                text = gateway->root.read_file("/stand-in/argv");
                return std::count(text.begin(), text.end(), '\n') >= long(n);
            },
            answer_time);
        std::istringstream lines(text);
        while (std::getline(lines, text) && --n > 0) {
        }
        return text;
    }
    // The arguments of pppd as the stand-in writes them; the files named resolve under the root.
    std::string pppd(const Lines& arguments)
    {
        std::string line = "[\"" + gateway->root / "/usr/local/sbin/pppd" + "\"";
        for (const std::string& argument : arguments)
            line += ",\"" + (argument.rfind("/usr/", 0) == 0 ? gateway->root / argument : argument) + "\"";
        return line + "]";
    }
    Lines next(size_t count)
    {
        Lines taken;
        for (std::optional<std::string> message; taken.size() < count && (message = controller->next(answer_time));)
            taken.push_back(*message);
        return taken;
    }
    void send(int seq, int slot, const std::string& command)
    {
        controller->send("{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu command : " +
                         command + " }");
    }
    static std::string answer(int seq, int slot, const std::string& text = "success : NULL")
    {
        return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : " + text + " }";
    }
    static std::string signal(int slot, const std::string& signal)
    {
        return "{ slot " + std::to_string(slot) + ", pdu signal : " + signal + " }";
    }
    // Creates the modem slot and a trunk slot on the time slot as its source, which starts the
    // modem; the messages all three commands bring.
    Lines create(int seq, int slot, const std::string& params, int timeslot, size_t messages = 7)
    {
        send(seq, slot, "create : modem : { " + params + " }");
        send(seq + 1, slot + 1, "create : trunk : { trunk 0, timeslot " + std::to_string(timeslot) + " }");
        send(seq + 2, slot + 1, "connect : " + std::to_string(slot));
        return next(messages);
    }
    bool logged(const std::string& text) { return gateway->daemon->wait_for_errors(text, answer_time); }

    // Left last, once the daemon has gone.
    testsupport::OwnNetwork network;
    std::unique_ptr<Gateway> gateway;
    std::unique_ptr<ControllerProcess> controller;
};

TEST_F(Modems, ADspModemIsConfiguredInOrderAndPppdAnswersOnItsDataDeviceUntilHangUp)
{
    if (start(); IsSkipped())
        return;
    gateway->board.fail("/dev/mctl", 0xBB3A, EIO);
    gateway->board.fail("/dev/mctl", 0xBB38, EIO);
    Lines made = create(1, 1, "cid \"123\", cdid \"9\", ddm { ddmV110, ddm8BIT, ddmV120 }, dmp { { offset 1, "
                                "value 2 }, { offset 3, value 4 } }", 1);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()),
              (Lines{signal(1, "transmitter : active : 480"), signal(1, "receiver : active : 480"), answer(3, 2)}));
    EXPECT_EQ(testsupport::device_requests(gateway->board, "/dev/mctl"),
              (Lines{"enumerate previous=-1 -> 0", "enumerate previous=0 -> 1", "enumerate previous=1 -> -1 ENODEV",
                       "allocate arg=0 -> 0", "timeslot arg=0 -> 480", "data-modes modem=0 modes=3 -> 0",
                       "reset-parameters modem=0 arg=-1 -> -1 EIO", "parameter modem=0 offset=1 value=2 -> -1 EIO",
                       "parameter modem=0 offset=3 value=4 -> 0", "answer modem=0 arg=-1 -> 0"}));
    EXPECT_EQ(started(1), pppd({"file", "/usr/local/etc/ppp/aoptions", "/dev/mdm0", "remotenumber", "123"}));
    send(4, 1, "destroy : NULL");
    // pppd ends on SIGHUP, and its end answers the destroy.
    EXPECT_EQ(next(1), Lines{answer(4, 1)});
    EXPECT_TRUE(logged("01:dsp-modem: sent HUP to pppd.\n"));
    EXPECT_EQ(gateway->daemon->errors().find("pppd terminate timeout!"), std::string::npos);
}

TEST_F(Modems, PppdIgnoringHangUpIsKilledAfterFiveSecondsAndOneEndingByItselfAborts)
{
    if (start(); IsSkipped())
        return;
    behave("ignore");
    create(1, 1, plain + ", originate NULL", 1);
    EXPECT_EQ(started(1), pppd({"file", "/usr/local/etc/ppp/coptions", "/dev/mdm0"}));
    auto destroyed = std::chrono::steady_clock::now();
    send(4, 1, "destroy : NULL");
    EXPECT_EQ(controller->next(milliseconds(30000)), answer(4, 1));
    EXPECT_GE(std::chrono::steady_clock::now() - destroyed, milliseconds(5000));
    EXPECT_TRUE(logged("01:dsp-modem: pppd terminate timeout!\n01:dsp-modem: pppd isn't terminated, killing ...\n"));
    EXPECT_TRUE(logged(" status=9\n"));
    std::string errors = gateway->daemon->errors();
    EXPECT_EQ(errors.find("killing"), errors.rfind("killing"));

    // Outside a destroy, the raw wait status: exit code 3, and 2 from a program that never ran.
    behave("exit 3");
    std::string execargs = "\"0\"";
    Lines first62{"0"};
    for (int n = 1; n < 70; ++n) {
        execargs += ", \"" + std::to_string(n) + "\"";
        if (n < 62)
            first62.push_back(std::to_string(n));
    }
    create(5, 3, plain + ", execargs { " + execargs + " }", 2);
    EXPECT_EQ(controller->next(answer_time), signal(3, "abort : 768"));
    EXPECT_EQ(started(2), pppd(first62));
    create(8, 5, plain + ", execfile \"/usr/local/sbin/absent\"", 3);
    EXPECT_EQ(controller->next(answer_time), signal(5, "abort : 512"));
    EXPECT_TRUE(logged("05:dsp-modem: fail to exec pppd: No such file or directory\n"));
}

TEST_F(Modems, AModemWhoseStartFailedHasNoStreamTakesNoRecordAndCannotBeActivated)
{
    if (start(); IsSkipped())
        return;
    gateway->board.fail("/dev/mctl", 0xBB0B, EBUSY);
    Lines made = create(1, 1, plain, 1, 6);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()), (Lines{signal(1, "abort : 16"), answer(3, 2, "error : connectFail")}));
    // Until its start its modem id is that of the digital calls.
    Portslave portslave;
    portslave.send(record(140, 1, -1, "bob", "pw"));
    EXPECT_TRUE(logged("receive auth request for unknown session -1\n"));
    send(4, 1, "activate : modem : { remoteAddr \"10.0.0.2\", netmask \"255.255.255.0\", gateway \"10.0.0.1\", dns "
               "\"10.0.0.53\", mtu 1500 }");
    EXPECT_EQ(next(1), Lines{answer(4, 1, "error : unsupported")});
    EXPECT_TRUE(logged("01:dsp-modem: modem's activation: modem not started.\n"));
    // The next stream starts it.
    send(5, 2, "connect : 1");
    EXPECT_EQ(next(3), (Lines{signal(1, "transmitter : active : 480"), signal(1, "receiver : active : 480"),
                              answer(5, 2)}));
}

TEST_F(Modems, AFaxSlotWhoseProgramEndedKeepsItsModemAndItsRecordsUntilItsDestroy)
{
    if (start(); IsSkipped())
        return;
    Lines made = create(1, 1, plain + ", fax NULL, execfile \"/usr/local/sbin/absent\", execargs { }", 1, 8);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()), (Lines{signal(1, "transmitter : active : 480"),
                                                          signal(1, "receiver : active : 480"), answer(3, 2),
                                                          signal(1, "abort : 512")}));
    // The next call gets the other modem; the records for the fax slot's modem still reach it.
    made = create(4, 3, plain, 2);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()),
              (Lines{signal(3, "transmitter : active : 481"), signal(3, "receiver : active : 481"), answer(6, 4)}));
    Portslave portslave;
    const std::string auth = "modemProceeding : auth : { username \"bob\", password \"pw\" }";
    portslave.send(record(140, 1, 0, "bob", "pw"));
    EXPECT_EQ(next(1), Lines{signal(1, auth)});
    // Once it is destroyed, its modem is the next call's, and so are the records for it.
    send(7, 1, "destroy : NULL");
    EXPECT_EQ(next(1), Lines{answer(7, 1)});
    ASSERT_TRUE(gateway->modem_free(0));
    made = create(8, 5, plain, 3);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()),
              (Lines{signal(5, "transmitter : active : 480"), signal(5, "receiver : active : 480"), answer(10, 6)}));
    portslave.send(record(140, 1, 0, "bob", "pw"));
    EXPECT_EQ(next(1), Lines{signal(5, auth)});
}

TEST_F(Modems, PortslaveRecordsBecomeSignalsAndTheActivationSendsAcceptanceAndAddresses)
{
    if (start(); IsSkipped())
        return;
    create(1, 1, plain, 1);
    create(4, 3, plain, 2);
    Portslave portslave;
    // A user name filling its field has no NUL.
    Bytes both = record(140, 1, 0, std::string(64, 'a'), "secret");
    Bytes accounting = record(64, 4, 0);
    BigEndian::put_u32(accounting.data(), 24, 1);   // octets out: high word 1, low word 0
    BigEndian::put_u32(accounting.data(), 36, 7);   // octets in
    BigEndian::put_u32(accounting.data(), 56, 60);  // connection time
    both.insert(both.end(), accounting.begin(), accounting.end());
    portslave.send(both);
    // A record too short for its header is dropped and the connection stays, as are records of a
    // wrong size for their type; credentials that the controller could not be sent end the call.
    portslave.send(record(8, 1, 0));
    portslave.send(record(141, 1, 0));
    portslave.send(record(12, 4, 0));
    portslave.send(record(140, 1, 0, "bob", "p\xE4ss"));
    Bytes split = record(140, 1, 0, "bob", "pw");
    for (auto [from, to] : {std::pair{0, 3}, {3, 100}, {100, 140}})
        portslave.send(Bytes(split.begin() + from, split.begin() + to));
    std::string auth = "modemProceeding : auth : { username \"";
    EXPECT_EQ(next(4), (Lines{signal(1, auth + std::string(64, 'a') + "\", password \"secret\" }"),
                                signal(1, "modemProceeding : acct : { octetsOut { low 0, high 1 }, octetsIn { low 7, "
                                          "high 0 }, packetsOut { low 0, high 0 }, packetsIn { low 0, high 0 }, time "
                                          "{ low 60, high 0 } }"),
                                signal(1, "abort : 22"), signal(1, auth + "bob\", password \"pw\" }")}));
    EXPECT_TRUE(logged("01:dsp-modem: auth request, invalid size: 141\n01:dsp-modem: auth accounting, invalid size: 12\n"
                       "01:dsp-modem: auth request refused: credentials beyond 7-bit characters.\n"));
    EXPECT_EQ(gateway->daemon->errors().find("p\xE4ss"), std::string::npos);

    // Slot 3's modem has no connection yet.
    const std::string addresses = "{ remoteAddr \"10.0.0.2\", netmask \"255.255.255.0\", gateway \"10.0.0.1\", dns ";
    send(7, 1, "activate : modem : " + addresses + "\"10.0.0.53\", mtu 1500 }");
    send(8, 1, "activate : modem : " + addresses + "\"10.0.53\", mtu 1500 }");
    send(9, 3, "activate : modem : " + addresses + "\"10.0.0.53\", mtu 1500 }");
    EXPECT_EQ(next(3), (Lines{answer(7, 1), answer(8, 1, "error : unsupported"), answer(9, 3, "error : unsupported")}));
    EXPECT_EQ(portslave.receive(52), activation(0));

    // A second connection gets the records of the modem it sent one for; the first gets no more.
    Portslave second;
    second.send(record(64, 4, 1));
    EXPECT_EQ(next(1), Lines{signal(3, "modemProceeding : acct : { octetsOut { low 0, high 0 }, octetsIn { low 0, high "
                                       "0 }, packetsOut { low 0, high 0 }, packetsIn { low 0, high 0 }, time { low 0, "
                                       "high 0 } }")});
    send(10, 3, "activate : modem : " + addresses + "\"10.0.0.53\", mtu 1500 }");
    EXPECT_EQ(next(1), Lines{answer(10, 3)});
    EXPECT_EQ(second.receive(52), activation(1));
    char byte;
    EXPECT_EQ(recv(portslave.fd(), &byte, 1, MSG_DONTWAIT), -1);

    // A length word outside 4 to 512 ends the connection.
    for (size_t length : {3, 513}) {
        Portslave bad;
        Bytes word(4);
        BigEndian::put_u32(word.data(), 0, static_cast<uint32_t>(length));
        bad.send(word);
        EXPECT_EQ(bad.receive(1), Bytes{});
        EXPECT_TRUE(logged("auth client " + bad.local() + " disconnected.\n"));
    }
}

TEST_F(Modems, PortslaveConnectionsAndTheModemEnumerationAreBounded)
{
    if (start(); IsSkipped())
        return;
    std::vector<std::unique_ptr<Portslave>> connections;
    for (int n = 0; n < 33; ++n)
        connections.push_back(std::make_unique<Portslave>());
    // The last one is refused, with one line; the others stay.
    EXPECT_EQ(connections.back()->receive(1), Bytes{});
    EXPECT_TRUE(logged("modem[2,0]: auth connection from " + connections.back()->local() +
                       " refused: too many connections.\n"));
    connections.front()->send(record(64, 4, 0));
    EXPECT_TRUE(logged("receive auth request for unknown session 0\n"));
    std::string errors = gateway->daemon->errors();
    EXPECT_EQ(errors.find("refused: too many"), errors.rfind("refused: too many"));

    // A driver that never ends its list of modems is asked no further than a board's largest count.
    for (int n = 0; n < 70; ++n)
        gateway->board.command("script /dev/mctl 0xBB0C 1");
    controller->send("{ seq 1, pdu command : query : NULL }");
    EXPECT_NE(next(2).at(1).find(" modem 64,"), std::string::npos);
}

TEST_F(Modems, DigitalModemsTakeTheFreeHdlcInterfacesSwitchedToPppAndGiveThemBackAtTheEnd)
{
    if (start({"hdlc0", "hdlc1"}); IsSkipped())
        return;
    gateway->board.set_absent("/dev/mctl", true);
    controller->send("{ seq 1, pdu command : query : NULL }");
    std::string report = next(2).at(1);
    EXPECT_TRUE(report.find(" modem 0,") != std::string::npos && report.find("digital-modems 2,") != std::string::npos);

    Lines made = create(2, 1, plain + ", ddm { ddm8BIT }", 5, 6);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()), (Lines{signal(1, "receiver : active : 1"), answer(4, 2)}));
    EXPECT_EQ(started(1), pppd({"file", "/usr/local/etc/ppp/ioptions", "hdlc0"}));
    // A rescan leaves out the interface that a live modem holds.
    controller->send("{ seq 5, pdu command : query : NULL }");
    EXPECT_NE(next(2).at(1).find("digital-modems 1,"), std::string::npos);
    create(6, 3, plain + ", ddm { ddmV110 }", 6, 6);
    EXPECT_EQ(started(2), pppd({"file", "/usr/local/etc/ppp/ioptions", "hdlc1"}));
    // With none left, a DSP modem, which cannot start here.
    made = create(9, 5, plain + ", ddm { ddmV110 }", 7, 6);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()), (Lines{signal(5, "abort : 2"), answer(11, 6, "error : connectFail")}));

    send(12, 1, "destroy : NULL");
    EXPECT_EQ(next(1), Lines{answer(12, 1)});
    // The interface goes back to HDLC framing once the destroy is answered.
    Lines requests;
    eventually([&] { return (requests = testsupport::device_requests(gateway->board, "hdlc0")).size() == 3; },
               answer_time);
    EXPECT_EQ(requests, (Lines{"SIOCWANDEV type=IF_GET_IFACE size=128 -> 0", "SIOCWANDEV type=IF_PROTO_PPP size=4 -> 0",
                                 "SIOCWANDEV type=IF_PROTO_HDLC size=4 -> 0"}));
    // The interface given back is free again.
    create(13, 7, plain + ", ddm { ddmV110 }", 8, 6);
    EXPECT_EQ(started(3), pppd({"file", "/usr/local/etc/ppp/ioptions", "hdlc0"}));
}

TEST_F(Modems, ADigitalModemWhoseInterfaceRefusesItsSettingsDoesNotStartOrSaysWhatItCouldNotRestore)
{
    if (start({"hdlc0"}); IsSkipped())
        return;
    gateway->board.set_absent("/dev/mctl", true);
    controller->send("{ seq 1, pdu command : query : NULL }");
    EXPECT_NE(next(2).at(1).find("digital-modems 1,"), std::string::npos);
    // The interface does not tell its channel: no pppd, and the start fails, only logged.
    gateway->board.fail("hdlc0", 0x894A, EIO);
    Lines made = create(2, 1, plain + ", ddm { ddm8BIT }", 5, 5);
    EXPECT_EQ(Lines(made.begin() + 4, made.end()), Lines{answer(4, 2, "error : connectFail")});
    EXPECT_TRUE(logged("SIOCWANDEV/IF_GET_IFACE fail!\n"));
    send(5, 1, "destroy : NULL");
    EXPECT_EQ(next(1), Lines{answer(5, 1)});
    // Started, then the interface refuses its HDLC framing back at the end: said, and the interface
    // is free all the same.
    create(6, 3, plain + ", ddm { ddm8BIT }", 6, 6);
    EXPECT_EQ(started(1), pppd({"file", "/usr/local/etc/ppp/ioptions", "hdlc0"}));
    gateway->board.fail("hdlc0", 0x894A, EIO);
    send(9, 3, "destroy : NULL");
    EXPECT_EQ(next(1), Lines{answer(9, 3)});
    EXPECT_TRUE(logged("SIOCWANDEV/IF_PROTO_HDLC fail!\n"));
    controller->send("{ seq 10, pdu command : query : NULL }");
    EXPECT_NE(next(2).at(1).find("digital-modems 1,"), std::string::npos);
}

}  // namespace
