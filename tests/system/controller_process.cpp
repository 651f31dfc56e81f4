#include "controller_process.h"

#include "support/controller_pair.h"

#include <sstream>

namespace systemtest {

namespace {

std::vector<std::string> with_port(int port, const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"--port", std::to_string(port)};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

}  // namespace

ControllerProcess::ControllerProcess(int port, const std::string& directory, const std::string& name,
                                     const std::vector<std::string>& arguments)
    : process_(testsupport::build_program("controller"), with_port(port, arguments), directory, name, true)
{
}

std::vector<std::string> ControllerProcess::printed()
{
    // A message ends with the closing brace of its outermost block, alone on its line.
    std::vector<std::string> messages;
    std::istringstream lines(process_.output());
    std::string line, message;
    while (std::getline(lines, line)) {
        message += line + "\n";
        if (line == "}" && !lines.eof()) {
            messages.push_back(testsupport::collapse(message));
            message.clear();
        }
    }
    if (!skipped_.empty() && !messages.empty() && messages.front() == skipped_)
        messages.erase(messages.begin());
    return messages;
}

std::optional<std::string> ControllerProcess::next(milliseconds timeout)
{
    std::vector<std::string> messages;
    testsupport::eventually(
        [&] {
            bool alive = process_.running();
            messages = printed();
            return messages.size() > taken_ || !alive;
        },
        timeout);
    if (messages.size() <= taken_)
        return std::nullopt;
    return messages[taken_++];
}

std::optional<std::string> ControllerProcess::wait_for(const std::string& text, milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::optional<std::string> message;
    do
        message = next(std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now()));
    while (message && message->find(text) == std::string::npos);
    return message;
}

int ControllerProcess::finish(milliseconds timeout)
{
    process_.close_input();
    int status = process_.wait(timeout);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace systemtest
