#include "support/controller_pair.h"

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/coder_env.h"

#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

bool PairConnection::ImplActivate()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    peer_ = ends[1];
    Connected(ends[0], "pair");
    close(ends[0]);
    return true;
}

std::vector<char> encode(const std::string& text)
{
    LGCP::Message message;
    if (!message.setFromValueNotation(text))
        throw std::runtime_error("not a message: " + text);
    ASN1::CoderEnv environment;
    std::vector<char> octets;
    if (!ASN1::encode(message, &environment, std::back_inserter(octets)))
        throw std::runtime_error("cannot encode: " + text);
    return octets;
}

std::optional<std::vector<uint8_t>> take_frame(std::vector<uint8_t>& bytes)
{
    size_t length = bytes.size() >= 4 && bytes[0] == 3 ? size_t{bytes[2]} << 8 | bytes[3] : 0;
    if (length < 4 || length > bytes.size())
        return std::nullopt;
    std::vector<uint8_t> frame(bytes.begin(), bytes.begin() + length);
    bytes.erase(bytes.begin(), bytes.begin() + length);
    return frame;
}

std::vector<std::string> received(int peer)
{
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    for (ssize_t length; (length = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + length);
    std::vector<std::string> messages;
    while (std::optional<std::vector<uint8_t>> frame = take_frame(bytes)) {
        LGCP::Message message;
        ASN1::CoderEnv environment;
        const char* payload = reinterpret_cast<const char*>(frame->data() + 4);
        if (!ASN1::decode(payload, payload + frame->size() - 4, &environment, message, true))
            throw std::runtime_error("the server sent what does not decode");
        messages.push_back(collapse(message.asValueNotation()));
    }
    if (!bytes.empty())
        throw std::runtime_error("not whole TPKT frames");
    return messages;
}

std::string collapse(const std::string& text)
{
    std::istringstream words(text);
    std::string result;
    for (std::string word; words >> word;)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

}  // namespace testsupport
