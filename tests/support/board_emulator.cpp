#include "support/board_emulator.h"

#include "foundation/os/device.h"

#include <cstdio>
#include <poll.h>
#include <sstream>
#include <utility>

namespace testsupport {

std::string BoardEmulator::read_line()
{
    for (;;) {
        size_t end = received_.find('\n');
        if (end != std::string::npos) {
            std::string line = received_.substr(0, end);
            received_.erase(0, end + 1);
            return line;
        }
        pollfd ready{process_.control(), POLLIN, 0};
        if (poll(&ready, 1, 30000) != 1)
            throw std::runtime_error("board-emulator did not answer");
        char buffer[4096];
        ssize_t length = recv(process_.control(), buffer, sizeof buffer, 0);
        if (length <= 0)
            throw std::runtime_error("board-emulator closed its control connection");
        received_.append(buffer, length);
    }
}

std::vector<std::string> BoardEmulator::command(const std::string& line)
{
    // What this process posted to the board has been done by the time a driver would answer: it
    // reaches the emulator before the command does.
    Device::flush_posted();
    for (const char* word : {"set ", "fail ", "absent ", "present "})
        if (line.rfind(word, 0) == 0)
            setup_.push_back(line);
    std::string sent = line + '\n';
    if (send(process_.control(), sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size()))
        throw std::runtime_error("cannot send to board-emulator: " + line);
    std::string answer = read_line();
    if (answer.rfind("error: ", 0) == 0)
        throw std::runtime_error("board-emulator: " + line + ": " + answer.substr(7));
    unsigned long count = 0;
    if (answer != "ok" && std::sscanf(answer.c_str(), "ok %lu", &count) != 1)
        throw std::runtime_error("board-emulator: unexpected answer: " + answer);
    std::vector<std::string> lines;
    while (lines.size() < count)
        lines.push_back(read_line());
    return lines;
}

std::vector<JournalEntry> BoardEmulator::journal()
{
    std::vector<JournalEntry> entries;
    for (const std::string& line : command("journal")) {
        JournalEntry entry;
        size_t arrow = line.find(" -> ");
        entry.result = arrow == std::string::npos ? "" : line.substr(arrow + 4);
        std::istringstream head(line.substr(0, arrow));
        head >> entry.time_ms >> entry.device >> entry.request >> std::ws;
        std::getline(head, entry.fields);
        entries.push_back(entry);
    }
    return entries;
}

void BoardEmulator::push(const std::string& target, const std::vector<uint8_t>& record)
{
    std::string text = record.empty() ? "-" : "";
    char digits[3];
    for (uint8_t byte : record) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    command("push " + target + ' ' + text);
}

std::string BoardEmulator::capture(int timeslot)
{
    std::string hex = state("/dev/mcc/ctl", "capture " + std::to_string(timeslot)).at(0), octets;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        octets += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return octets;
}

void BoardEmulator::fail(const std::string& device, uint32_t code, int error, unsigned count)
{
    char code_text[16];
    std::snprintf(code_text, sizeof code_text, "0x%08X", code);
    command("fail " + device + ' ' + code_text + ' ' + std::to_string(error) + ' ' + std::to_string(count));
}

void BoardEmulator::restart()
{
    process_.stop();
    process_.start();
    received_.clear();
    for (const std::string& line : std::exchange(setup_, {}))
        command(line);
}

}  // namespace testsupport
