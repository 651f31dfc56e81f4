#pragma once

// The soak's controller: it sends commands in batches, each with a seq of its own, and accounts
// for every answer. An answer must name a command still waiting, with the command's slot; an
// answer to no such command, a second answer or a command left unanswered ends the run with the
// reason. Signals are counted and otherwise passed over.

#include "asn1/modules/LGCP.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace soak {

class SoakController {
public:
    SoakController() = default;
    ~SoakController() { close(); }
    SoakController(const SoakController&) = delete;
    SoakController& operator=(const SoakController&) = delete;

    bool connect(int port);
    // Drops the connection without a word, as a controller that dies.
    void close();

    // Adds a command to the batch: `body` is the command in value notation (after "pdu command :"),
    // `slot` its slot or -1 for none.
    void add(int slot, const std::string& body);
    // Sends the batch and waits until each of its commands is answered; false, with failure()
    // saying why, when an answer is wrong or missing after `patience`.
    bool run(std::chrono::milliseconds patience = std::chrono::milliseconds(60000));

    const std::string& failure() const { return failure_; }
    uint64_t commands() const { return commands_; }
    uint64_t answers() const { return answers_; }
    uint64_t errors() const { return errors_; }
    uint64_t signals() const { return signals_; }
    // The error answers by the command's kind and the cause, "create insufficientResources".
    const std::map<std::string, uint64_t>& error_kinds() const { return error_kinds_; }

private:
    struct Waiting {
        int slot;
        std::string kind;
    };

    const LGCP::Message& message_of(int slot, const std::string& body);
    bool receive(std::chrono::steady_clock::time_point deadline);
    bool take(const char* payload, size_t size);

    int fd_ = -1;
    int next_seq_ = 1;
    std::vector<char> batch_;
    std::unordered_map<int, Waiting> waiting_;
    // The messages already read from value notation, by slot and body; only the seq changes.
    std::unordered_map<std::string, LGCP::Message> known_;
    std::vector<char> received_;
    std::string failure_;
    uint64_t commands_ = 0;
    uint64_t answers_ = 0;
    uint64_t errors_ = 0;
    uint64_t signals_ = 0;
    std::map<std::string, uint64_t> error_kinds_;
};

}  // namespace soak
