#include "foundation/config/ini_parser.h"

#include "foundation/config/ini_file.h"

#include <iostream>
#include <ostream>

namespace IniFile {

Parser::Parser(File& file) : Parser(file, std::cerr) {}

Parser::Parser(File& file, std::ostream& reports) : file_(file), reports_(reports) {}

void Parser::feed(char c)
{
    if (c != '\n') {
        line_text_ += c;
        return;
    }
    take_line();
    take(c);
    ++line_;
}

void Parser::finish()
{
    take_line();
    if (state_ == before_value || state_ == value)
        append_value();
}

// A line is whole before its first byte is acted on, so that a NUL anywhere in it drops all of it:
// the states at a line's start are the same as after an empty line.
void Parser::take_line()
{
    if (line_text_.find('\0') != std::string::npos) {
        reports_ << "configuration ";
        if (!file_.name().empty())
            reports_ << '"' << file_.name() << "\" ";
        reports_ << "line " << line_ << ": a NUL byte, line skipped" << std::endl;
    } else {
        for (char c : line_text_)
            take(c);
    }
    line_text_.clear();
}

void Parser::take(char c)
{
    if (c == '\r')
        return;
    if (comment_) {
        if (c != '\n')
            return;
        comment_ = false;
    }
    handle(c);
}

void Parser::handle(char c)
{
    switch (state_) {
    case outside_sections:
        if (c == '#') {
            comment_ = true;
        } else if (c == '[') {
            section_.clear();
            state_ = section_name;
        }
        break;
    case section_name:
        if (c == '\n') {
            state_ = outside_sections;
        } else if (c == ']') {
            current_ = &file_.NewSubSection(section_, line_);
            state_ = header_rest;
        } else {
            section_ += c;
        }
        break;
    case header_rest:
        if (c == '\n')
            state_ = line_start;
        else if (c == '#')
            comment_ = true;
        break;
    case line_start:
        if (c == '#') {
            comment_ = true;
        } else if (c == '[') {
            section_.clear();
            state_ = section_name;
        } else if (c != '\t' && c != '\n' && c != ' ') {
            key_.assign(1, c);
            held_spaces_ = 0;
            state_ = key_name;
        }
        break;
    case key_name:
        if (c == ' ') {
            ++held_spaces_;
        } else if (c == '=') {
            value_.clear();
            held_spaces_ = 0;
            state_ = before_value;
        } else if (c == '\n') {
            key_.clear();
            held_spaces_ = 0;
            state_ = line_start;
        } else {
            take_held_spaces(key_);
            key_ += c;
        }
        break;
    case before_value:
        if (c == '#') {
            comment_ = true;
        } else if (c == '\n') {
            append_value();
            state_ = line_start;
        } else if (c != ' ') {
            value_.assign(1, c);
            held_spaces_ = 0;
            state_ = value;
        }
        break;
    case value:
        if (c == ' ') {
            ++held_spaces_;
        } else if (c == '\n') {
            append_value();
            state_ = line_start;
        } else if (c == '#' && held_spaces_ > 0) {
            held_spaces_ = 0;
            comment_ = true;
        } else {
            take_held_spaces(value_);
            value_ += c;
        }
        break;
    }
}

void Parser::append_value()
{
    current_->NewSubKey(key_, value_, line_);
    key_.clear();
    held_spaces_ = 0;
}

void Parser::take_held_spaces(std::string& text)
{
    text.append(held_spaces_, ' ');
    held_spaces_ = 0;
}

}  // namespace IniFile
