#pragma once

// The receiver of a controller link: told when a connection stands, given every whole message
// that arrives on it, and told when it has ended.

namespace Control {

class Notify {
public:
    virtual ~Notify() = default;

    // Once per connection, before any message.
    virtual void OnConnect() = 0;
    // Once per connection, on a later reactor pass than the one in which it closed.
    virtual void OnDisconnect() = 0;
    virtual void OnMessage(const char* data, int length) = 0;
};

}  // namespace Control
