#pragma once

// The controller's side of a control server under test, in this process: a connection over a
// socket pair whose server end is a Control::Service (so the server sends through the real TPKT
// stack) and whose other end the test reads and writes directly. Messages are written and shown
// in value notation, shown collapsed to one line: "{ seq 7, pdu response : success : NULL }".

#include "foundation/control/service.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class PairConnection : public Control::Service {
public:
    // The test's end of the pair is stored in peer once the connection is activated; the test
    // closes it. The connection itself belongs to whoever activates it.
    explicit PairConnection(int& peer) : Control::Service(false), peer_(peer) {}

protected:
    bool ImplActivate() override;
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}

private:
    int& peer_;
};

// The PER encoding of the message written in value notation (throws when it does not read or encode).
std::vector<char> encode(const std::string& message);
// The first whole TPKT frame of the bytes, header included, taken out of them; nothing while they
// do not begin with one.
std::optional<std::vector<uint8_t>> take_frame(std::vector<uint8_t>& bytes);
// The value notation of whatever the peer has received so far, one collapsed message each; throws
// when that is not whole TPKT frames of messages that decode.
std::vector<std::string> received(int peer);
// Runs of white space become one blank.
std::string collapse(const std::string& text);

}  // namespace testsupport
