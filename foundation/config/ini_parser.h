#pragma once

// Reads configuration text byte by byte into a File. It never rejects input: a malformed line
// is skipped and the next header or key is read normally. A line holding a NUL byte is skipped
// whole, with a report: the configuration is plain text, and a name cut at the NUL would alias
// another one.

#include <iosfwd>
#include <string>

namespace IniFile {

class File;
class SubSection;

class Parser {
public:
    // Reports go to the given stream; the standard error stream by default.
    explicit Parser(File& file);
    Parser(File& file, std::ostream& reports);

    void feed(char c);
    // The end of the input: a key whose "=" has been read keeps its value so far.
    void finish();

private:
    enum State {
        outside_sections,
        section_name,
        header_rest,
        line_start,
        key_name,
        before_value,
        value,
    };

    // Runs the bytes of the line read so far through the states, or reports and drops them.
    void take_line();
    void take(char c);
    void handle(char c);
    void append_value();
    // Spaces inside a key name or value count only once a later character follows them.
    void take_held_spaces(std::string& text);

    File& file_;
    std::ostream& reports_;
    std::string line_text_;
    SubSection* current_ = nullptr;
    State state_ = outside_sections;
    bool comment_ = false;
    int line_ = 1;
    int held_spaces_ = 0;
    std::string section_;
    std::string key_;
    std::string value_;
};

}  // namespace IniFile
