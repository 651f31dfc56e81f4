#pragma once

// A fresh directory that stands in for the board's file system: TOVRASEL_ROOT points at it while
// the object lives, and the directory is removed with everything in it afterwards. Header-only,
// so that the benchmarks, which are built without the test support library, use it too.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

// The whole content of a file; empty when there is none.
inline std::string file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class TempRoot {
public:
    TempRoot()
    {
        path_ = (std::filesystem::temp_directory_path() / "tovrasel-root-XXXXXX").string();
        if (!mkdtemp(path_.data()))
            throw std::runtime_error("cannot create a temporary root");
        setenv("TOVRASEL_ROOT", path_.c_str(), 1);
    }
    ~TempRoot()
    {
        unsetenv("TOVRASEL_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // The location of a fixed system path such as "/dev/misc/gw-wd" inside the root.
    std::string operator/(const std::string& fixed) const { return path_ + fixed; }
    // Creates the parent directories of a fixed path inside the root and returns the location.
    std::string prepare(const std::string& fixed) const
    {
        std::filesystem::create_directories(std::filesystem::path(*this / fixed).parent_path());
        return *this / fixed;
    }
    void write_file(const std::string& fixed, const std::string& content) const
    {
        std::ofstream(prepare(fixed), std::ios::binary) << content;
    }
    std::string read_file(const std::string& fixed) const { return file_text(*this / fixed); }

private:
    std::string path_;
};

}  // namespace testsupport
