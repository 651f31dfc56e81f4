// controller: the test controller of the gateway. It connects to the daemon's controller port,
// reads LGCP messages in ASN.1 value notation, one per line, from its arguments or else from its
// standard input, sends each in a TPKT frame, and prints every answer and signal it receives in
// value notation. The daemon answers every message it is sent, with the message's seq. Once the
// messages are sent (or the input has ended) the tool ends when the time-out has passed since the
// last message was sent or answered; signals are printed but do not hold it.
//
// Exit status: 0; 1 when a message could not be read or encoded, a received one could not be
// decoded, a message sent had no answer when the tool ended ("no answer to seq N"), or the
// connection failed or was closed by the daemon; 2 for a wrong command line.

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
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char usage_text[] =
    "usage: controller [--host H] [--port P] [--timeout MS] [--one-line] [--hide SIGNAL]... [MESSAGE...]\n"
    "  Sends each MESSAGE (else each line of the standard input), an LGCP message in ASN.1 value\n"
    "  notation such as '{ seq 1, pdu command : ping : NULL }', to the daemon at H:P (default\n"
    "  127.0.0.1:20001) and prints every message received. Ends MS milliseconds (default 1000)\n"
    "  after the last message was sent or answered, or the input ended; exits with 1 when a\n"
    "  message has no answer by then. --one-line prints each message on one line; --hide leaves\n"
    "  out the signals SIGNAL, such as trunkStatus.\n";

struct Options {
    std::string host = "127.0.0.1";
    std::string port = "20001";
    int timeout_ms = 1000;
    bool one_line = false;
    std::vector<std::string> hidden;  // signals not printed
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
        } else if (argument == "--one-line") {
            options.one_line = true;
        } else if (argument == "--hide" && has_value) {
            options.hidden.push_back(argv[++i]);
        } else if (argument == "-h" || argument == "--help" || (!argument.empty() && argument[0] == '-')) {
            return false;
        } else {
            options.messages.push_back(argument);
        }
    }
    return true;
}

// The text with each line break and the indent after it made one space.
std::string one_line(const std::string& text)
{
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            line += text[i];
            continue;
        }
        line += ' ';
        while (i + 1 < text.size() && text[i + 1] == ' ')
            ++i;
    }
    return line;
}

bool blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

class Controller {
public:
    Controller(ControllerLink& link, const Options& options) : link_(link), options_(options) {}

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
        if (!link_.Send(payload))
            return false;
        unanswered_.push_back(seq(message));
        return true;
    }

    // Prints what arrived; false once the connection has ended. `answered` tells whether an
    // answer to a message sent was among it.
    bool ReceiveAll(bool& answered)
    {
        answered = false;
        std::vector<ControllerLink::Payload> payloads;
        bool open = link_.Receive(payloads);
        for (const ControllerLink::Payload& payload : payloads) {
            LGCP::Message message;
            if (ASN1::decode(payload.data(), payload.data() + payload.size(), &environment_, message, true)) {
                std::ostringstream text;
                text << message;
                if (!Hidden(message, text.str()))
                    std::cout << (options_.one_line ? one_line(text.str()) : text.str()) << std::endl;
                answered = Answers(message) || answered;
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

    // Says which messages sent had no answer, and sets the status when any had none.
    void ReportUnanswered()
    {
        for (const std::optional<long long>& seq : unanswered_) {
            if (seq)
                std::cerr << "controller: no answer to seq " << *seq << std::endl;
            else
                std::cerr << "controller: no answer to a message without seq" << std::endl;
            status = 1;
        }
    }

    int status = 0;

private:
    static std::optional<long long> seq(const LGCP::Message& message)
    {
        if (!message.hasOptionalField(LGCP::Message::Optional::seq))
            return std::nullopt;
        return message.get_seq().getValue();
    }

    // Whether the message, written as `text`, is a signal that --hide leaves out.
    bool Hidden(const LGCP::Message& message, const std::string& text) const
    {
        return message.get_pdu().get_signal() &&
               std::any_of(options_.hidden.begin(), options_.hidden.end(), [&text](const std::string& name) {
                   return text.find("pdu signal : " + name + " :") != std::string::npos;
               });
    }

    // Whether the message is the answer to one sent, which it then takes off the list.
    bool Answers(const LGCP::Message& message)
    {
        if (!message.get_pdu().get_response())
            return false;
        auto sent = std::find(unanswered_.begin(), unanswered_.end(), seq(message));
        if (sent == unanswered_.end())
            return false;
        unanswered_.erase(sent);
        return true;
    }

    std::vector<std::optional<long long>> unanswered_;  // in the order sent
    ControllerLink& link_;
    const Options& options_;
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
    Controller controller(link, options);
    // The connection failed or the daemon closed it.
    auto lost = [&controller, &link] {
        std::cerr << "controller: " << link.error() << std::endl;
        controller.ReportUnanswered();
        return 1;
    };
    for (const std::string& message : options.messages) {
        if (!controller.SendLine(message))
            return lost();
    }

    bool reading_input = options.messages.empty();
    std::string input;
    Clock::time_point last = Clock::now();
    for (bool time_up = false; !time_up;) {
        int wait = -1;
        if (!reading_input) {
            auto left = options.timeout_ms - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last).count();
            // Once the time is up, what has arrived is still taken, once: above all a close, which
            // tells that the gateway refused or dropped this controller.
            time_up = left <= 0;
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
        if (ready[0].revents) {
            bool answered;
            bool open = controller.ReceiveAll(answered);
            if (answered)
                last = Clock::now();
            if (!open)
                return lost();
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
                if (!controller.SendLine(input.substr(0, end)))
                    return lost();
                last = Clock::now();
            }
        }
    }
    controller.ReportUnanswered();
    return controller.status;
}
