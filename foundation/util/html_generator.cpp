#include "foundation/util/html_generator.h"

#include <istream>
#include <ostream>

namespace Stat {
namespace Html {

GeneratorV1::GeneratorV1(const Object& root, std::ostream& out, std::istream& in)
    : out_(out), in_(in), stack_{&root}, current_(&root)
{
}

bool GeneratorV1::generate()
{
    ignore_depth_ = 0;
    return generate_body();
}

GeneratorV1::Token GeneratorV1::parse()
{
    token_complete_ = false;
    while (!token_complete_) {
        int c = in_.get();
        if (c == std::char_traits<char>::eof())
            return Token{none, std::string()};
        (this->*input_)(char(c));
        (this->*output_)(char(c));
    }
    return Token{kind_, token_};
}

bool GeneratorV1::generate_body()
{
    for (;;) {
        Token token = parse();
        if (token.kind == none)
            return true;
        if (token.kind == value) {
            put_value(token.name);
            continue;
        }
        if (token.name == "end")
            return true;
        std::unique_ptr<IteratorBase> objects = current_->statistics_iterator(token.name);
        if (!objects) {
            sub_object(token.name);
            continue;
        }
        if (!objects->valid()) {
            ignore_object();
            continue;
        }
        std::istream::pos_type start = in_.tellg();
        for (;;) {
            sub_object(*objects->object());
            objects->next();
            if (!objects->valid())
                break;
            // Every pass starts as the first one did, right behind the section marker, even
            // when the previous pass ran into the end of the input.
            in_.clear();
            in_.seekg(start);
            next_input(&GeneratorV1::pinput_delayed_initial);
        }
    }
}

void GeneratorV1::put_value(const std::string& name)
{
    for (auto object = stack_.rbegin(); object != stack_.rend(); ++object) {
        if (Value found = (*object)->statistics_value(name)) {
            put(found.text());
            return;
        }
    }
    put(captured_);
}

void GeneratorV1::sub_object(const std::string& name)
{
    if (const Object* object = current_->statistics_object(name))
        sub_object(*object);
    else
        ignore_object();
}

void GeneratorV1::sub_object(const Object& object)
{
    stack_.push_back(&object);
    current_ = &object;
    generate_body();
    stack_.pop_back();
    current_ = stack_.back();
}

void GeneratorV1::ignore_object()
{
    struct UnknownObject : Object {
        Value statistics_value(const std::string&) const override { return Value(); }
        const Object* statistics_object(const std::string&) const override { return nullptr; }
        std::unique_ptr<IteratorBase> statistics_iterator(const std::string&) const override { return nullptr; }
    };
    UnknownObject unknown;
    ++ignore_depth_;
    sub_object(unknown);
    --ignore_depth_;
}

void GeneratorV1::put(char c)
{
    if (ignore_depth_ == 0)
        out_.put(c);
}

void GeneratorV1::put(const std::string& text)
{
    if (ignore_depth_ == 0)
        out_ << text;
}

void GeneratorV1::next_output(State state)
{
    if (state == &GeneratorV1::poutput_capture)
        captured_.clear();
    output_ = state;
}

void GeneratorV1::flush()
{
    put(captured_);
    next_input(&GeneratorV1::pinput_section_body);
    next_output(&GeneratorV1::poutput_pass);
}

void GeneratorV1::pinput_initial(char c)
{
    if (c == '<') {
        next_input(&GeneratorV1::pinput_section_open);
        next_output(&GeneratorV1::poutput_capture);
    } else if (c == '%') {
        next_input(&GeneratorV1::pinput_value_open);
        next_output(&GeneratorV1::poutput_capture);
    }
}

void GeneratorV1::pinput_section_open(char c)
{
    if (c == '!')
        next_input(&GeneratorV1::pinput_section_comment1);
    else
        flush();
}

void GeneratorV1::pinput_section_body(char c)
{
    if (c == '>')
        next_input(&GeneratorV1::pinput_initial);
}

void GeneratorV1::pinput_section_comment1(char c) { expect_marker(c, '-', &GeneratorV1::pinput_section_comment2); }

void GeneratorV1::pinput_section_comment2(char c)
{
    if (c != '-') {
        flush();
        return;
    }
    token_.clear();
    kind_ = section;
    next_input(&GeneratorV1::pinput_section_obj_begin1);
}

void GeneratorV1::pinput_section_obj_begin1(char c) { expect_marker(c, 'G', &GeneratorV1::pinput_section_obj_begin2); }

void GeneratorV1::pinput_section_obj_begin2(char c) { expect_marker(c, 'E', &GeneratorV1::pinput_section_obj_begin3); }

void GeneratorV1::pinput_section_obj_begin3(char c) { expect_marker(c, 'N', &GeneratorV1::pinput_section_obj_begin4); }

void GeneratorV1::pinput_section_obj_begin4(char c) { expect_marker(c, '.', &GeneratorV1::pinput_section_obj_name); }

void GeneratorV1::expect_marker(char c, char wanted, State next)
{
    if (c == wanted)
        next_input(next);
    else
        flush();
}

void GeneratorV1::pinput_section_obj_name(char c)
{
    if (c == '-')
        next_input(&GeneratorV1::pinput_section_obj_name_end1);
    else
        token_ += c;
}

void GeneratorV1::pinput_section_obj_name_end1(char c)
{
    if (c == '-') {
        next_input(&GeneratorV1::pinput_section_obj_name_end2);
        return;
    }
    token_ += '-';
    token_ += c;
    next_input(&GeneratorV1::pinput_section_obj_name);
}

void GeneratorV1::pinput_section_obj_name_end2(char c)
{
    if (c == '>') {
        token_complete_ = true;
        next_input(&GeneratorV1::pinput_delayed_initial);
    } else {
        // What stands between the marker's closing "--" and its ">" is dropped.
        next_output(&GeneratorV1::poutput_ignore);
    }
}

void GeneratorV1::pinput_value_open(char c)
{
    if (c == '%') {
        put('%');
        next_input(&GeneratorV1::pinput_initial);
        next_output(&GeneratorV1::poutput_pass);
        return;
    }
    token_.assign(1, c);
    kind_ = value;
    next_input(&GeneratorV1::pinput_value_body);
}

void GeneratorV1::pinput_value_body(char c)
{
    if (c == '%') {
        token_complete_ = true;
        next_input(&GeneratorV1::pinput_delayed_initial);
    } else {
        token_ += c;
    }
}

void GeneratorV1::pinput_delayed_initial(char c)
{
    next_input(&GeneratorV1::pinput_initial);
    next_output(&GeneratorV1::poutput_pass);
    pinput_initial(c);
}

bool generateV1(const Object& root, std::ostream& out, std::istream& in)
{
    return GeneratorV1(root, out, in).generate();
}

}  // namespace Html
}  // namespace Stat
