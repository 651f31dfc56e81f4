#pragma once

// What a test makes the board do instead of what its models would: a device that is absent, an
// errno for the next requests of (device, code), and scripted answers for the next requests of
// (device, code), taken in the order they were given.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace Emulator {

struct Override {
    int result = 0;
    int error = 0;                // a failure when not 0
    std::vector<uint8_t> record;  // replaces the start of the request's record
};

class Overrides {
public:
    void set_absent(const std::string& device, bool absent);
    bool absent(const std::string& device) const { return absent_.count(device) != 0; }

    void fail(const std::string& device, uint32_t code, int error, unsigned count);
    void script(const std::string& device, uint32_t code, Override answer);
    // The answer for this request in place of the model's, if the test gave one; taking it uses
    // it up. An injected errno goes before a scripted answer.
    std::optional<Override> take(const std::string& device, uint32_t code);
    // Whether no request has an answer of the test's waiting.
    bool none() const { return failures_.empty() && scripts_.empty(); }

private:
    using Key = std::pair<std::string, uint32_t>;
    std::set<std::string> absent_;
    std::map<Key, std::pair<int, unsigned>> failures_;  // errno and the number of requests left
    std::map<Key, std::deque<Override>> scripts_;
};

}  // namespace Emulator
