// controller: the test controller of the gateway. It connects to the daemon's controller port,
// reads LGCP messages in ASN.1 value notation, one per line, from its arguments or else from its
// standard input, sends each in a TPKT frame, and prints every answer and signal it receives in
// value notation. Once the messages are sent (or the input has ended) it waits until the
// time-out passes without anything arriving, then ends.
//
// Exit status: 0; 1 when a message could not be read or encoded, a received one could not be
// decoded, or the connection failed or was closed by the daemon; 2 for a wrong command line.

#include "tools/controller/controller_link.h"

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/coder_env.h"
#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char usage_text[] =
    "usage: controller [--host H] [--port P] [--timeout MS] [MESSAGE...]\n"
    "  Sends each MESSAGE (else each line of the standard input), an LGCP message in ASN.1 value\n"
    "  notation such as '{ seq 1, pdu command : ping : NULL }', to the daemon at H:P (default\n"
    "  127.0.0.1:20001) and prints every message received. Ends MS milliseconds (default 1000)\n"
    "  after the last message was sent or received.\n";

struct Options {
    std::string host = "127.0.0.1";
    std::string port = "20001";
    int timeout_ms = 1000;
    std::vector<std::string> messages;
};

bool parse_options(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool has_value = i + 1 < argc;
        if (argument == "--host" && has_value) {
            options.host = argv[++i];
        } else if (argument == "--port" && has_value) {
            options.port = argv[++i];
        } else if (argument == "--timeout" && has_value) {
            char* end;
            long value = std::strtol(argv[++i], &end, 10);
            if (*end || end == argv[i] || value < 0 || value > 86400000)
                return false;
            options.timeout_ms = static_cast<int>(value);
        } else if (argument == "-h" || argument == "--help" || (!argument.empty() && argument[0] == '-')) {
            return false;
        } else {
            options.messages.push_back(argument);
        }
    }
    return true;
}

bool blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

class Controller {
public:
    explicit Controller(ControllerLink& link) : link_(link) {}

    // Reads one line as a message and sends it; false when the connection failed.
    bool SendLine(const std::string& line)
    {
        if (blank(line))
            return true;
        LGCP::Message message;
        std::istringstream text(line);
        bool read = static_cast<bool>(text >> message);
        std::string rest;
        std::getline(text, rest);
        if (!read || !blank(rest)) {
            std::cerr << "controller: not an LGCP message: " << line << std::endl;
            status = 1;
            return true;
        }
        ControllerLink::Payload payload;
        if (!ASN1::encode(message, &environment_, std::back_inserter(payload))) {
            std::cerr << "controller: cannot encode: " << line << std::endl;
            status = 1;
            return true;
        }
        return link_.Send(payload);
    }

    // Prints what arrived; false once the connection has ended.
    bool ReceiveAll()
    {
        std::vector<ControllerLink::Payload> payloads;
        bool open = link_.Receive(payloads);
        for (const ControllerLink::Payload& payload : payloads) {
            LGCP::Message message;
            if (ASN1::decode(payload.data(), payload.data() + payload.size(), &environment_, message, true)) {
                std::cout << message << std::endl;
                continue;
            }
            std::cerr << "controller: cannot decode:";
            for (char byte : payload)
                std::fprintf(stderr, " %02X", static_cast<unsigned char>(byte));
            std::cerr << std::endl;
            status = 1;
        }
        return open;
    }

    int status = 0;

private:
    ControllerLink& link_;
    ASN1::CoderEnv environment_;
};

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse_options(argc, argv, options)) {
        std::cerr << usage_text;
        return 2;
    }
    ControllerLink link;
    if (!link.Connect(options.host, options.port)) {
        std::cerr << "controller: cannot connect to " << options.host << ":" << options.port << ": " << link.error()
                  << std::endl;
        return 1;
    }
    Controller controller(link);
    for (const std::string& message : options.messages) {
        if (!controller.SendLine(message)) {
            std::cerr << "controller: " << link.error() << std::endl;
            return 1;
        }
    }

    bool reading_input = options.messages.empty();
    std::string input;
    Clock::time_point last = Clock::now();
    for (;;) {
        int wait = -1;
        if (!reading_input) {
            auto left = options.timeout_ms - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last).count();
            // Once the time is up, what has arrived is still taken: above all a close, which tells
            // that the gateway refused or dropped this controller.
            wait = static_cast<int>(std::max<decltype(left)>(left, 0));
        }
        pollfd ready[2] = {{link.fd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        int polled = poll(ready, reading_input ? 2 : 1, wait);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled < 0) {
            std::cerr << "controller: poll: " << std::strerror(errno) << std::endl;
            return 1;
        }
        if (polled == 0)
            break;
        if (ready[0].revents) {
            last = Clock::now();
            if (!controller.ReceiveAll()) {
                std::cerr << "controller: " << link.error() << std::endl;
                return 1;
            }
        }
        if (reading_input && ready[1].revents) {
            char buffer[4096];
            ssize_t length = read(STDIN_FILENO, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR)
                continue;
            if (length > 0)
                input.append(buffer, length);
            else
                input += '\n', reading_input = false, last = Clock::now();
            for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
                if (!controller.SendLine(input.substr(0, end))) {
                    std::cerr << "controller: " << link.error() << std::endl;
                    return 1;
                }
                last = Clock::now();
            }
        }
    }
    return controller.status;
}
