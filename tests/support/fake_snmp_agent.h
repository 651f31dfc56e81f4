#pragma once

// An SNMP agent process as the gateway's agent link meets it: a loopback TCP port bound before its
// address goes into a configuration, and the connection the link makes to it, read with the
// project's MON coder. Until it listens, connects to it are refused, so that a test decides when
// the link comes up; it reads only when messages() is called.

#include "support/controller_pair.h"
#include "support/daemon_process.h"

#include "asn1/modules/MON.h"
#include "asn1/runtime/coder_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <vector>

namespace testsupport {

struct FakeSnmpAgent {
    explicit FakeSnmpAgent(bool listening = true)
    {
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        EXPECT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), size), 0);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        fcntl(listener, F_SETFL, O_NONBLOCK);
        if (listening)
            listen(listener, 1);
    }
    ~FakeSnmpAgent() { close(listener), close(peer); }
    FakeSnmpAgent(const FakeSnmpAgent&) = delete;
    FakeSnmpAgent& operator=(const FakeSnmpAgent&) = delete;

    std::string host() const { return "127.0.0.1:" + std::to_string(port); }

    // Leaves the connection, unread bytes and all; messages() then takes the link's next one.
    void drop_connection()
    {
        close(peer);
        peer = -1;
        closed = false;
        pending.clear();
    }

    // The messages received so far, in collapsed value notation; the frames as they came.
    const std::vector<std::string>& messages()
    {
        if (peer < 0)
            peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        uint8_t buffer[4096];
        for (ssize_t n; peer >= 0 && !closed && (n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) != -1;)
            closed = n == 0, pending.insert(pending.end(), buffer, buffer + n);
        while (auto frame = take_frame(pending)) {
            MON::Message message;
            ASN1::CoderEnv environment;
            const char* payload = reinterpret_cast<const char*>(frame->data() + 4);
            EXPECT_TRUE(ASN1::decode(payload, payload + frame->size() - 4, &environment, message, true));
            texts.push_back(collapse(message.asValueNotation()));
            frames.push_back(*frame);
        }
        return texts;
    }

    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), peer = -1;
    uint16_t port = 0;
    bool closed = false;
    std::vector<uint8_t> pending;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<std::string> texts;
};

}  // namespace testsupport
