#include "board_control_harness.h"

#include "asn1/runtime/coder_env.h"
#include "foundation/control/service.h"

#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace boardtest {

namespace {

// The server's connection: one end of a socket pair, the test holding the other.
class PairConnection : public Control::Service {
public:
    explicit PairConnection(int& peer) : Control::Service(false), peer_(peer) {}

protected:
    bool ImplActivate() override
    {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        peer_ = ends[1];
        Connected(ends[0], "pair");
        close(ends[0]);
        return true;
    }
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}

private:
    int& peer_;
};

std::string collapse(const std::string& text)
{
    std::istringstream words(text);
    std::string result;
    for (std::string word; words >> word;)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

}  // namespace

BoardControlTest::~BoardControlTest()
{
    server.Deactivate();
    // The latest made may use those made before it.
    while (!services_.empty())
        services_.pop_back();
    if (peer_ >= 0)
        close(peer_);
}

void BoardControlTest::connect()
{
    if (peer_ >= 0)
        close(peer_);
    peer_ = -1;
    server.Activate(new PairConnection(peer_));
}

void BoardControlTest::disconnect() { server.Deactivate(); }

void BoardControlTest::send(const std::string& text)
{
    LGCP::Message message;
    if (!message.setFromValueNotation(text))
        throw std::runtime_error("not a message: " + text);
    ASN1::CoderEnv environment;
    std::vector<char> octets;
    if (!ASN1::encode(message, &environment, std::back_inserter(octets)))
        throw std::runtime_error("cannot encode: " + text);
    server.OnMessage(octets.data(), static_cast<int>(octets.size()));
}

std::vector<std::string> BoardControlTest::received()
{
    std::vector<unsigned char> bytes;
    unsigned char buffer[4096];
    for (ssize_t length; peer_ >= 0 && (length = recv(peer_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + length);
    std::vector<std::string> messages;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = bytes.size() - at >= 4 ? size_t{bytes[at + 2]} << 8 | bytes[at + 3] : 0;
        if (bytes[at] != 3 || length < 4 || at + length > bytes.size())
            throw std::runtime_error("not a whole TPKT frame");
        LGCP::Message message;
        ASN1::CoderEnv environment;
        const char* payload = reinterpret_cast<const char*>(bytes.data() + at + 4);
        if (!ASN1::decode(payload, payload + length - 4, &environment, message, true))
            throw std::runtime_error("the server sent what does not decode");
        messages.push_back(collapse(message.asValueNotation()));
        at += length;
    }
    return messages;
}

void BoardControlTest::pass_ms(unsigned ms)
{
    offset_us_ += int64_t{ms} * 1000;
    Mux::set_clock_offset_for_tests(offset_us_);
    Timer stop;
    stop.set(50, &BoardControlTest::stop_reactor, this);
    run_guarded();
}

void BoardControlTest::stop_reactor() { multiplexer.terminate(); }

std::vector<std::string> BoardControlTest::requests(const std::string& device)
{
    std::vector<std::string> lines;
    for (const testsupport::JournalEntry& entry : board.journal())
        if (entry.device == device)
            lines.push_back(entry.request + (entry.fields.empty() ? "" : " " + entry.fields) + " -> " + entry.result);
    return lines;
}

}  // namespace boardtest
