#include "soak/soak_controller.h"

#include "tests/support/daemon_process.h"

#include "asn1/runtime/coder_env.h"

#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace soak {

namespace {

// "create : trunk" of "create : trunk : { ... }", "ping" of "ping : NULL": what the error tally
// groups by.
std::string kind_of(const std::string& body)
{
    size_t end = body.find(" : ");
    if (end != std::string::npos && (body.compare(0, end, "create") == 0 || body.compare(0, end, "ioctl") == 0 ||
                                     body.compare(0, end, "activate") == 0))
        end = body.find(" : ", end + 3);
    return body.substr(0, end);
}

size_t frame_length(const std::vector<char>& bytes)
{
    return size_t{static_cast<uint8_t>(bytes[2])} << 8 | static_cast<uint8_t>(bytes[3]);
}

}  // namespace

bool SoakController::connect(int port)
{
    close();
    testsupport::LoopbackConnection connection;
    if (!connection.connect_to(port))
        return false;
    fd_ = dup(connection.fd());
    return fd_ >= 0;
}

void SoakController::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    batch_.clear();
    waiting_.clear();
    received_.clear();
}

const LGCP::Message& SoakController::message_of(int slot, const std::string& body)
{
    const std::string key = std::to_string(slot) + ' ' + body;
    auto known = known_.find(key);
    if (known != known_.end())
        return known->second;
    LGCP::Message message;
    const std::string text = "{ seq 0" + (slot < 0 ? std::string() : ", slot " + std::to_string(slot)) +
                             ", pdu command : " + body + " }";
    if (!message.setFromValueNotation(text))
        throw std::runtime_error("not an LGCP message: " + text);
    return known_.emplace(key, std::move(message)).first->second;
}

void SoakController::add(int slot, const std::string& body)
{
    LGCP::Message message = message_of(slot, body);
    const int seq = next_seq_;
    next_seq_ = next_seq_ == 0x7FFFFFFF ? 1 : next_seq_ + 1;
    message.set_seq(seq);
    std::vector<char> payload;
    ASN1::CoderEnv environment;
    if (!ASN1::encode(message, &environment, std::back_inserter(payload)))
        throw std::runtime_error("cannot encode " + body);
    const size_t length = payload.size() + 4;
    batch_.insert(batch_.end(), {3, 0, static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)});
    batch_.insert(batch_.end(), payload.begin(), payload.end());
    waiting_[seq] = Waiting{slot, kind_of(body)};
    ++commands_;
}

bool SoakController::run(std::chrono::milliseconds patience)
{
    for (size_t sent = 0; sent < batch_.size();) {
        ssize_t length = send(fd_, batch_.data() + sent, batch_.size() - sent, MSG_NOSIGNAL);
        if (length <= 0) {
            failure_ = "the daemon takes no more commands";
            return false;
        }
        sent += length;
    }
    batch_.clear();
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (!waiting_.empty())
        if (!receive(deadline))
            return false;
    return true;
}

bool SoakController::receive(std::chrono::steady_clock::time_point deadline)
{
    while (received_.size() >= 4 && received_.size() >= frame_length(received_)) {
        const size_t length = frame_length(received_);
        if (received_[0] != 3 || length < 4) {
            failure_ = "the daemon sends no TPKT";
            return false;
        }
        bool taken = take(received_.data() + 4, length - 4);
        received_.erase(received_.begin(), received_.begin() + length);
        if (!taken)
            return false;
    }
    if (waiting_.empty())
        return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
        failure_ = std::to_string(waiting_.size()) + " commands unanswered, seq " +
                   std::to_string(waiting_.begin()->first) + " (" + waiting_.begin()->second.kind + ") among them";
        return false;
    }
    char buffer[65536];
    ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
    if (length <= 0) {
        failure_ = "the daemon closed the connection";
        return false;
    }
    received_.insert(received_.end(), buffer, buffer + length);
    return true;
}

bool SoakController::take(const char* payload, size_t size)
{
    LGCP::Message message;
    ASN1::CoderEnv environment;
    if (!ASN1::decode(payload, payload + size, &environment, message, true)) {
        failure_ = "a message of the daemon does not decode";
        return false;
    }
    const LGCP::Response* response = message.get_pdu().get_response();
    if (!response) {
        ++signals_;
        return true;
    }
    if (!message.hasOptionalField(LGCP::Message::Optional::seq)) {
        failure_ = "an answer without a seq";
        return false;
    }
    const int seq = message.get_seq().getValue();
    auto waiting = waiting_.find(seq);
    if (waiting == waiting_.end()) {
        failure_ = "an answer to seq " + std::to_string(seq) + ", which waits for none";
        return false;
    }
    const int slot = message.hasOptionalField(LGCP::Message::Optional::slot)
                         ? static_cast<int>(message.get_slot().getValue())
                         : -1;
    if (slot != waiting->second.slot) {
        failure_ = "the answer to seq " + std::to_string(seq) + " names slot " + std::to_string(slot);
        return false;
    }
    if (const LGCP::ErrorCause* cause = response->get_error()) {
        ++errors_;
        ++error_kinds_[waiting->second.kind + ' ' + std::string(cause->getName())];
    }
    waiting_.erase(waiting);
    ++answers_;
    return true;
}

}  // namespace soak
