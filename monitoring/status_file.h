#pragma once

// One file of the monitoring tree, written whole: the content goes to a temporary file in the
// same directory, which then takes the file's place in one step, so that a reader sees either
// the old content or the new one, never an empty or partly written file.

#include <cstdio>
#include <string>

class StatusFile {
public:
    // Opens the temporary file; stream() is null (errno set) when it cannot be made.
    explicit StatusFile(const std::string& path);
    // An uncommitted temporary file is removed.
    ~StatusFile();
    StatusFile(const StatusFile&) = delete;
    StatusFile& operator=(const StatusFile&) = delete;

    FILE* stream() const { return stream_; }
    // Closes the content and puts it in the file's place; false (errno set) when that fails.
    bool commit();

private:
    std::string path_;
    std::string temporary_;
    FILE* stream_ = nullptr;
};

// Removes the temporary files that writers killed mid-write left anywhere under directory, its
// subdirectories too; links are not followed.
void remove_stale_temporaries(const std::string& directory);

// Whether a text from outside may name one entry of the monitoring tree: not empty, not "." or
// "..", free of "/" and NUL, at most 255 bytes.
bool safe_file_name(const std::string& text);

// Makes link a symbolic link to target, in one step, unless it already is one; false (errno set)
// when that fails.
bool replace_symlink(const std::string& target, const std::string& link);
