#include "monitoring/status_file.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char temporary_prefix[] = ".tmp.";

// One temporary entry per directory and process is enough: the process writes one file at a time.
std::string temporary_beside(const std::string& path)
{
    return path.substr(0, path.rfind('/') + 1) + temporary_prefix + std::to_string(getpid());
}

// ".tmp." and a process id.
bool temporary_name(const std::string& name)
{
    const size_t digits = sizeof temporary_prefix - 1;
    return name.size() > digits && name.compare(0, digits, temporary_prefix) == 0 &&
           name.find_first_not_of("0123456789", digits) == std::string::npos;
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

void remove_stale_temporaries(const std::string& directory)
{
    namespace fs = std::filesystem;
    std::error_code error, ignored;
    std::vector<fs::path> stale;
    // Links to directories are not entered: only the tree itself is cleared.
    for (fs::recursive_directory_iterator entry(directory, fs::directory_options::skip_permission_denied, error), end;
         !error && entry != end; entry.increment(error))
        if (temporary_name(entry->path().filename().string()) && !fs::is_directory(entry->symlink_status(ignored)))
            stale.push_back(entry->path());
    for (const fs::path& path : stale)
        fs::remove(path, ignored);
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
