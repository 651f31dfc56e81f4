#include "monitoring/status_file.h"

#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// One temporary entry per directory and process is enough: the process writes one file at a time.
std::string temporary_beside(const std::string& path)
{
    return path.substr(0, path.rfind('/') + 1) + ".tmp." + std::to_string(getpid());
}

}  // namespace

StatusFile::StatusFile(const std::string& path) : path_(path), temporary_(temporary_beside(path))
{
    // Never through a link someone left in the tree.
    const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    stream_ = fdopen(fd, "w");
    if (!stream_) {
        const int error = errno;
        close(fd);
        errno = error;
    }
}

StatusFile::~StatusFile()
{
    if (stream_)
        fclose(stream_);
    if (!temporary_.empty())
        unlink(temporary_.c_str());
}

bool StatusFile::commit()
{
    FILE* stream = std::exchange(stream_, nullptr);
    if (!stream)
        return false;
    const bool written = fflush(stream) == 0 && !ferror(stream);
    const int error = errno;
    const bool closed = fclose(stream) == 0;
    if (!written)
        errno = error;
    if (!written || !closed || rename(temporary_.c_str(), path_.c_str()) != 0)
        return false;
    temporary_.clear();
    return true;
}

bool safe_file_name(const std::string& text)
{
    return !text.empty() && text != "." && text != ".." && text.size() <= NAME_MAX &&
           text.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool replace_symlink(const std::string& target, const std::string& link)
{
    std::vector<char> current(target.size() + 2);
    const ssize_t length = readlink(link.c_str(), current.data(), current.size());
    if (length >= 0 && std::string(current.data(), size_t(length)) == target)
        return true;
    const std::string temporary = temporary_beside(link);
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0)
        return false;
    if (rename(temporary.c_str(), link.c_str()) == 0)
        return true;
    const int error = errno;
    unlink(temporary.c_str());
    errno = error;
    return false;
}
