#include "foundation/os/timestamp.h"

#include <ctime>
#include <ostream>

std::ostream& timestamp(std::ostream& out)
{
    time_t now = time(nullptr);
    struct tm local;
    if (now == static_cast<time_t>(-1) || !localtime_r(&now, &local))
        return out;
    char text[32];
    if (strftime(text, sizeof text, "%d/%m %H:%M:%S", &local) > 0)
        out << text;
    return out;
}
