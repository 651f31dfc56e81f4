#pragma once

// Expands an HTML template against a tree of statistics objects. "%name%" is replaced by the
// value of that name, looked up from the innermost object outwards; a section that starts with
// "<!--GEN.name-->" and runs to its "<!--GEN.end-->" is written once for the sub-object of that
// name, once per object of the sequence of that name, or left out with all it nests when the
// object has neither. Everything else is copied as it stands.

#include "foundation/util/html_statistics.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace Stat {
namespace Html {

class GeneratorV1 {
public:
    // The input must be seekable: a sequence's section is read once per object.
    GeneratorV1(const Object& root, std::ostream& out, std::istream& in);

    bool generate();

private:
    enum Kind { section = 0, value = 1, none = 2 };
    using State = void (GeneratorV1::*)(char);

    struct Token {
        Kind kind;
        std::string name;
    };

    // Reads until a section or value token is complete; kind none at the end of the input.
    Token parse();
    bool generate_body();
    void put_value(const std::string& name);
    void sub_object(const std::string& name);
    void sub_object(const Object& object);
    // Reads past the section without writing anything.
    void ignore_object();

    void put(char c);
    void put(const std::string& text);
    void next_input(State state) { input_ = state; }
    void next_output(State state);
    // Writes what was held back and goes on as inside an ordinary tag.
    void flush();

    void pinput_initial(char c);
    void pinput_section_open(char c);
    void pinput_section_body(char c);
    void pinput_section_comment1(char c);
    void pinput_section_comment2(char c);
    void pinput_section_obj_begin1(char c);
    void pinput_section_obj_begin2(char c);
    void pinput_section_obj_begin3(char c);
    void pinput_section_obj_begin4(char c);
    void pinput_section_obj_name(char c);
    void pinput_section_obj_name_end1(char c);
    void pinput_section_obj_name_end2(char c);
    void pinput_value_open(char c);
    void pinput_value_body(char c);
    void pinput_delayed_initial(char c);
    // Expects the next character of a section marker's "GEN." and goes on to the given state.
    void expect_marker(char c, char wanted, State next);

    void poutput_pass(char c) { put(c); }
    void poutput_capture(char c) { captured_ += c; }
    void poutput_ignore(char) {}

    std::ostream& out_;
    std::istream& in_;
    std::vector<const Object*> stack_;
    const Object* current_;
    int ignore_depth_ = 0;
    State input_ = &GeneratorV1::pinput_initial;
    State output_ = &GeneratorV1::poutput_pass;
    Kind kind_ = none;
    std::string token_;
    bool token_complete_ = false;
    std::string captured_;
};

// Always true.
bool generateV1(const Object& root, std::ostream& out, std::istream& in);

}  // namespace Html
}  // namespace Stat
