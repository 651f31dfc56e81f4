#pragma once

#include <string>

namespace testsupport {

// A fresh directory that stands in for the board's file system: TOVRASEL_ROOT points at it while
// the object lives, and the directory is removed with everything in it afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // The location of a fixed system path such as "/dev/misc/gw-wd" inside the root.
    std::string operator/(const std::string& fixed) const { return path_ + fixed; }
    // Creates the parent directories of a fixed path inside the root and returns the location.
    std::string prepare(const std::string& fixed) const;
    void write_file(const std::string& fixed, const std::string& content) const;
    std::string read_file(const std::string& fixed) const;

private:
    std::string path_;
};

}  // namespace testsupport
