#include "controller_pair.h"

#include <sstream>

namespace servertest {

std::string without_unsent(const std::string& log)
{
    std::istringstream lines(log);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.find("send fail: Service not attached!") == std::string::npos)
            kept += line + "\n";
    return kept;
}

}  // namespace servertest
