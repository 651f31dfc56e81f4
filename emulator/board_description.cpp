#include "emulator/board_description.h"

#include "emulator/board.h"
#include "emulator/text.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <vector>

namespace Emulator {

namespace {

// A path the daemon names, kept under the root: absolute and never climbing out of it.
bool board_path(const std::string& path)
{
    if (path.size() < 2 || path[0] != '/')
        return false;
    for (const auto& part : std::filesystem::path(path))
        if (part == "..")
            return false;
    return true;
}

// "<hex>" or "<hex>*<count>": the bytes, repeated.
bool parse_repeated_bytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    size_t star = text.find('*');
    long long count = 1;
    if (star != std::string::npos && (!parse_number(text.substr(star + 1), count) || count < 1 || count > 1 << 20))
        return false;
    std::vector<uint8_t> pattern;
    if (!parse_bytes(text.substr(0, star), pattern))
        return false;
    bytes.clear();
    for (long long i = 0; i < count; ++i)
        bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    return true;
}

class FileWriter {
public:
    explicit FileWriter(const std::string& root) : root_(root) {}

    // Adds the content to the board's file; the reason when it cannot.
    std::string add(const std::string& path, const std::string& content)
    {
        if (!board_path(path))
            return "not an absolute path of the board: " + path;
        std::string location = root_ + path;
        std::error_code failed;
        std::filesystem::create_directories(std::filesystem::path(location).parent_path(), failed);
        bool first = written_.insert(path).second;
        std::ofstream out(location, std::ios::binary | (first ? std::ios::trunc : std::ios::app));
        if (failed || !(out << content) || !out.flush())
            return "cannot write " + location;
        return {};
    }

private:
    std::string root_;
    std::set<std::string> written_;
};

}  // namespace

void apply_board_description(const std::string& file, Board& board, const std::string& root)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read the board description " + file);
    FileWriter files(root);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Words words = split_words(line);
        std::string failure;
        if (words.empty() || words[0][0] == '#')
            continue;
        if (words[0] == "set" || words[0] == "absent" || words[0] == "fail") {
            std::string answer = board.execute(line);
            if (answer.rfind("error: ", 0) == 0)
                failure = answer.substr(7, answer.size() - 8);
        } else if (words[0] == "text" && words.size() >= 2) {
            size_t path_at = line.find(words[1], line.find("text") + 4);
            size_t text_at = path_at + words[1].size() + 1;
            failure = files.add(words[1], (text_at < line.size() ? line.substr(text_at) : "") + '\n');
        } else if (words[0] == "bytes" && words.size() == 3) {
            std::vector<uint8_t> bytes;
            if (parse_repeated_bytes(words[2], bytes))
                failure = files.add(words[1], std::string(bytes.begin(), bytes.end()));
            else
                failure = "not hexadecimal bytes: " + words[2];
        } else {
            failure = "not a board item: " + line;
        }
        if (!failure.empty())
            throw std::runtime_error(file + ":" + std::to_string(number) + ": " + failure);
    }
}

}  // namespace Emulator
