#pragma once

// Results of initialising and deactivating protocol layers. They travel up a stack to its
// owner by reference-counted handle; the last handle deletes the status.

#include "foundation/packet/smart_pointer.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

class Protocol;

class Internal_protocol_status {
public:
    Internal_protocol_status(Protocol* origin, std::string message)
        : origin_(origin), message_(std::move(message))
    {
    }
    Internal_protocol_status(const Internal_protocol_status&) = delete;
    Internal_protocol_status& operator=(const Internal_protocol_status&) = delete;
    virtual ~Internal_protocol_status() = default;

    virtual bool success() const = 0;
    virtual std::string message() const { return message_; }
    virtual void out(std::ostream& os) const;

    // The layer that made the status.
    Protocol* origin() const { return origin_; }

private:
    template <class>
    friend class Smart_pointer;

    Protocol* origin_;
    uint32_t ref_count = 0;
    std::string message_;
};

class Protocol_status_success : public Internal_protocol_status {
public:
    explicit Protocol_status_success(Protocol* origin, std::string message = "success")
        : Internal_protocol_status(origin, std::move(message))
    {
    }
    bool success() const override { return true; }
};

class Protocol_status_error : public Internal_protocol_status {
public:
    Protocol_status_error(Protocol* origin, std::string message)
        : Internal_protocol_status(origin, std::move(message))
    {
    }
    bool success() const override { return false; }
};

// A layer dropped a message from above instead of sending it on. It says so with on_status before
// its message() returns, so that the sender can tell whoever gave it the message
// (ProtocolsFamily::send).
class Protocol_status_refused : public Protocol_status_error {
public:
    enum class Reason {
        queue_full,      // no room left for the message; later ones may fit
        no_destination,  // nothing below carries a message like this one
    };

    Protocol_status_refused(Protocol* origin, Reason reason, std::string message)
        : Protocol_status_error(origin, std::move(message)), reason_(reason)
    {
    }
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// Initialising a family that has no layers.
class Protocol_initialize_error : public Protocol_status_error {
public:
    explicit Protocol_initialize_error(Protocol* origin) : Protocol_status_error(origin, "error") {}
};
