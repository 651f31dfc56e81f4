#include "support/board_emulator.h"

#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>

namespace testsupport {

namespace {

std::string hex(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return "-";
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

std::string code_text(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

}  // namespace

BoardEmulator::BoardEmulator(const TempRoot& root) : process_(root.path()) {}

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
    std::string sent = line + '\n';
    if (send(process_.control(), sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size()))
        throw std::runtime_error("cannot send to board-emulator: " + line);
    std::string answer = read_line();
    if (answer.rfind("error: ", 0) == 0)
        throw std::runtime_error("board-emulator: " + line + ": " + answer.substr(7));
    std::vector<std::string> lines;
    if (answer == "ok")
        return lines;
    unsigned long count = 0;
    if (std::sscanf(answer.c_str(), "ok %lu", &count) != 1)
        throw std::runtime_error("board-emulator: unexpected answer: " + answer);
    for (unsigned long i = 0; i < count; ++i)
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

void BoardEmulator::clear_journal() { command("journal clear"); }

std::vector<std::string> BoardEmulator::state(const std::string& device, const std::string& words)
{
    return command("state " + device + (words.empty() ? "" : " " + words));
}

void BoardEmulator::set(const std::string& device, const std::string& words) { command("set " + device + ' ' + words); }

void BoardEmulator::push(const std::string& target, const std::vector<uint8_t>& record)
{
    command("push " + target + ' ' + hex(record));
}

void BoardEmulator::set_draining(const std::string& target, bool draining)
{
    command((draining ? "drain " : "stall ") + target);
}

void BoardEmulator::end_of_file(const std::string& target) { command("eof " + target); }

void BoardEmulator::script(const std::string& device, uint32_t code, int result, const std::vector<uint8_t>& record)
{
    command("script " + device + ' ' + code_text(code) + ' ' + std::to_string(result) + ' ' + hex(record));
}

void BoardEmulator::fail(const std::string& device, uint32_t code, int error, unsigned count)
{
    command("fail " + device + ' ' + code_text(code) + ' ' + std::to_string(error) + ' ' + std::to_string(count));
}

void BoardEmulator::set_absent(const std::string& device, bool absent)
{
    command((absent ? "absent " : "present ") + device);
}

}  // namespace testsupport
