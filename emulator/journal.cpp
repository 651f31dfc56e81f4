#include "emulator/journal.h"

namespace Emulator {

Journal::Journal(size_t capacity) : start_(std::chrono::steady_clock::now()), capacity_(capacity) {}

void Journal::add(const std::string& device, const std::string& request, const std::string& fields,
                  const std::string& result)
{
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    std::string entry = std::to_string(elapsed.count()) + ' ' + device + ' ' + request;
    if (!fields.empty())
        entry += ' ' + fields;
    entry += " -> " + result;
    if (entries_.size() == capacity_)
        entries_.pop_front();
    entries_.push_back(std::move(entry));
}

}  // namespace Emulator
