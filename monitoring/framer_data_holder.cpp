#include "monitoring/framer_data_holder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// The value of a key is the rest of its line.
bool value_of(const std::string& line, const char* key, std::string& value)
{
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return false;
    value = line.substr(at + std::char_traits<char>::length(key));
    return true;
}

template <class T>
bool update(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// Leading white space, an optional sign, digits up to the first other character; 0 without any.
int decimal(const std::string& text)
{
    const long number = std::strtol(text.c_str(), nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    return number < INT_MIN ? INT_MIN : int(number);
}

}  // namespace

bool FramerDataHolder::setFramerStatus(std::vector<unsigned char>& text)
{
    std::string all(text.begin(), text.end());
    all.resize(std::min(all.size(), all.find('\0')));
    bool changed = false;
    for (size_t start = 0; start < all.size();) {
        const size_t end = std::min(all.find('\n', start), all.size());
        const std::string line = all.substr(start, end - start);
        start = end + 1;
        std::string value;
        if (value_of(line, "Current state           : ", value))
            changed |= setStatusText(value);
        if (value_of(line, "Loss of Signal          : ", value))
            changed |= update(signalLoss_, value == "yes");
        if (value_of(line, "Loss of Frame Alignment : ", value))
            changed |= update(frameAlignLoss_, value == "yes");
        if (value_of(line, "Receive Slip Negative   : ", value))
            changed |= update(negativeSlips_, decimal(value));
        if (value_of(line, "Receive Slip Positive   : ", value))
            changed |= update(positiveSlips_, decimal(value));
    }
    return changed;
}

bool FramerDataHolder::setFramerStatus(ACP::TrunkState::NamedNumber state)
{
    switch (state) {
    case ACP::TrunkState::normal:
        return setStatusText("Synchronized");
    case ACP::TrunkState::lossBF:
        return setStatusText("FAS Loss");
    case ACP::TrunkState::lossCarrier:
        return setStatusText("No Carrier");
    case ACP::TrunkState::ais:
        return setStatusText("AIS");
    case ACP::TrunkState::rai:
        return setStatusText("RAI");
    default:
        return setStatusText("Unknown");
    }
}

bool FramerDataHolder::setStatusText(const std::string& text)
{
    if (!update(status_, text))
        return false;
    connected_ = text != "No Carrier";
    return true;
}
