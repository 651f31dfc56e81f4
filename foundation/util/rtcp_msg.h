#pragma once

// RTCP control packets of one RTP stream (RFC 3550): the source description and the goodbye,
// each with a single source, encoded into the caller's buffer.

#include <cstdint>
#include <string>
#include <vector>

namespace RTPC {

class Msg {
public:
    explicit Msg(uint32_t ssrc) : ssrc_(ssrc) {}
    virtual ~Msg() = default;

    virtual unsigned pt() const = 0;
    // The 5-bit count of the common header.
    virtual unsigned count() const = 0;

    // Writes the whole packet and returns its length, a multiple of 4; 0 (and the buffer is
    // left alone) when size cannot hold a valid packet. The padding never goes past size.
    unsigned encode(char* buffer, unsigned size) const;

    uint32_t ssrc() const { return ssrc_; }

protected:
    // Writes what follows the 4-byte common header, starting with the SSRC, into size bytes
    // (a multiple of 4, at least 4); encode pads the result to a multiple of 4. Returns the
    // length written, or 0 when no valid packet fits.
    virtual unsigned encode_body(char* body, unsigned size) const = 0;

    void put_ssrc(char* body) const;

private:
    uint32_t ssrc_;
};

class SDES : public Msg {
public:
    struct Item {
        enum Type { CNAME = 1, EMAIL = 3, PHONE = 4 };
        Type type;
        std::string text;
    };

    explicit SDES(uint32_t ssrc) : Msg(ssrc) {}

    unsigned pt() const override { return 202; }
    unsigned count() const override { return 1; }

    void add(Item::Type type, const std::string& text) { items_.push_back(Item{type, text}); }

protected:
    // Texts longer than 255 bytes are cut; items that no longer fit are left out, and the item
    // list is always closed by a zero octet.
    unsigned encode_body(char* body, unsigned size) const override;

private:
    std::vector<Item> items_;
};

class BYE : public Msg {
public:
    explicit BYE(uint32_t ssrc, const std::string& reason = std::string()) : Msg(ssrc), reason_(reason) {}

    unsigned pt() const override { return 203; }
    unsigned count() const override { return 1; }

protected:
    // The reason is cut to 255 bytes and to the room left.
    unsigned encode_body(char* body, unsigned size) const override;

private:
    std::string reason_;
};

}  // namespace RTPC
