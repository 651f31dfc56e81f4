#pragma once

// Reads configuration text byte by byte into a File. It never rejects input: a malformed line
// is skipped and the next header or key is read normally.

#include <string>

namespace IniFile {

class File;
class SubSection;

class Parser {
public:
    explicit Parser(File& file) : file_(file) {}

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

    void handle(char c);
    void append_value();
    // Spaces inside a key name or value count only once a later character follows them.
    void take_held_spaces(std::string& text);

    File& file_;
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
