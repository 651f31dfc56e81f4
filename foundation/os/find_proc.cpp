#include "foundation/os/find_proc.h"

#include "foundation/os/fd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool has_name(int pid, const char* name)
{
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    Fd stat(open(path, O_RDONLY | O_CLOEXEC));
    if (!stat)
        return false;
    char text[256];
    ssize_t length = read(stat, text, sizeof text - 1);
    stat.close();
    if (length <= 0)
        return false;
    text[length] = '\0';
    char* open_paren = std::strchr(text, '(');
    char* close_paren = std::strrchr(text, ')');
    if (!open_paren || !close_paren || close_paren < open_paren)
        return false;
    *close_paren = '\0';
    return std::strcmp(open_paren + 1, name) == 0;
}

}  // namespace

int find_proc_by_name(const char* name, int hint)
{
    int candidate = hint;
    DIR* proc = nullptr;
    int result = -1;
    for (;;) {
        if (candidate > 0 && has_name(candidate, name)) {
            result = candidate;
            break;
        }
        if (!proc && !(proc = opendir("/proc")))
            break;
        const dirent* entry = readdir(proc);
        if (!entry)
            break;
        candidate = std::atoi(entry->d_name);
    }
    if (proc)
        closedir(proc);
    return result;
}
