#include "controller_process.h"

#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace systemtest {

ControllerProcess::ControllerProcess(int port, const std::string& directory, const std::string& name,
                                     const std::vector<std::string>& arguments)
    : process_(build_program("controller"),
               [&] {
                   std::vector<std::string> all{"--port", std::to_string(port)};
                   all.insert(all.end(), arguments.begin(), arguments.end());
                   return all;
               }(),
               directory, name, true)
{
}

void ControllerProcess::send(const std::string& message) { process_.write_input(message + "\n"); }

std::vector<std::string> ControllerProcess::printed()
{
    // A message ends with the closing brace of its outermost block, alone on its line.
    std::vector<std::string> messages;
    std::istringstream lines(process_.output());
    std::string line, collapsed;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            collapsed += (collapsed.empty() ? "" : " ") + word;
        if (line == "}" && !lines.eof()) {
            messages.push_back(collapsed);
            collapsed.clear();
        }
    }
    return messages;
}

std::optional<std::string> ControllerProcess::next(milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        bool alive = process_.running();
        std::vector<std::string> messages = printed();
        if (messages.size() > taken_)
            return messages[taken_++];
        if (!alive || std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

std::optional<std::string> ControllerProcess::wait_for(const std::string& text, milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        std::optional<std::string> message = next(left.count() > 0 ? left : milliseconds(0));
        if (!message || message->find(text) != std::string::npos)
            return message;
    }
}

std::vector<std::string> ControllerProcess::take_all()
{
    std::vector<std::string> messages = printed();
    std::vector<std::string> untaken(messages.begin() + std::min(taken_, messages.size()), messages.end());
    taken_ = messages.size();
    return untaken;
}

int ControllerProcess::finish(milliseconds timeout)
{
    process_.close_input();
    int status = process_.wait(timeout);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace systemtest
