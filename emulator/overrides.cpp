#include "emulator/overrides.h"

namespace Emulator {

void Overrides::set_absent(const std::string& device, bool absent)
{
    if (absent)
        absent_.insert(device);
    else
        absent_.erase(device);
}

void Overrides::fail(const std::string& device, uint32_t code, int error, unsigned count)
{
    if (count)
        failures_[{device, code}] = {error, count};
    else
        failures_.erase({device, code});
}

void Overrides::script(const std::string& device, uint32_t code, Override answer)
{
    scripts_[{device, code}].push_back(std::move(answer));
}

std::optional<Override> Overrides::take(const std::string& device, uint32_t code)
{
    if (failures_.empty() && scripts_.empty())
        return std::nullopt;
    Key key{device, code};
    if (auto failure = failures_.find(key); failure != failures_.end()) {
        Override answer{-1, failure->second.first, {}};
        if (--failure->second.second == 0)
            failures_.erase(failure);
        return answer;
    }
    if (auto script = scripts_.find(key); script != scripts_.end()) {
        Override answer = std::move(script->second.front());
        script->second.pop_front();
        if (script->second.empty())
            scripts_.erase(script);
        return answer;
    }
    return std::nullopt;
}

}  // namespace Emulator
