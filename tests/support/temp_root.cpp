#include "support/temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempRoot::TempRoot()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tovrasel-root-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary root");
    path_ = pattern;
    setenv("TOVRASEL_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot()
{
    unsetenv("TOVRASEL_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempRoot::prepare(const std::string& fixed) const
{
    std::string location = *this / fixed;
    std::filesystem::create_directories(std::filesystem::path(location).parent_path());
    return location;
}

void TempRoot::write_file(const std::string& fixed, const std::string& content) const
{
    std::ofstream(prepare(fixed), std::ios::binary) << content;
}

std::string TempRoot::read_file(const std::string& fixed) const
{
    std::ifstream in(*this / fixed, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace testsupport
