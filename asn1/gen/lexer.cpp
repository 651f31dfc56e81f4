#include "asn1/gen/lexer.h"

#include <cctype>

namespace asn1gen {

namespace {

bool is_letter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool is_digit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool is_word_char(char c)
{
    return is_letter(c) || is_digit(c) || c == '_';
}

}  // namespace

Lexer::Lexer(std::string text, std::string file) : text_(std::move(text)), file_(std::move(file)) {}

void Lexer::skip_space_and_comments()
{
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++pos_;
        } else if (text_.compare(pos_, 2, "--") == 0) {
            pos_ += 2;
            while (pos_ < text_.size() && text_[pos_] != '\n' && text_.compare(pos_, 2, "--") != 0)
                ++pos_;
            if (pos_ < text_.size() && text_[pos_] != '\n')
                pos_ += 2;
        } else {
            return;
        }
    }
}

Token Lexer::make(Token::Kind kind, std::size_t length)
{
    Token token{kind, text_.substr(pos_, length), here()};
    pos_ += length;
    return token;
}

Token Lexer::next()
{
    skip_space_and_comments();
    if (pos_ >= text_.size())
        return Token{Token::end, "", here()};
    const char c = text_[pos_];
    if (is_letter(c)) {
        std::size_t end = pos_ + 1;
        for (;;) {
            if (end < text_.size() && is_word_char(text_[end]))
                ++end;
            else if (end + 1 < text_.size() && text_[end] == '-' && is_word_char(text_[end + 1]))
                ++end;
            else
                break;
        }
        return make(Token::word, end - pos_);
    }
    if (is_digit(c)) {
        std::size_t end = pos_;
        while (end < text_.size() && is_digit(text_[end]))
            ++end;
        return make(Token::number, end - pos_);
    }
    if (text_.compare(pos_, 3, "::=") == 0)
        return make(Token::assign, 3);
    if (text_.compare(pos_, 3, "...") == 0)
        return make(Token::ellipsis, 3);
    if (text_.compare(pos_, 2, "..") == 0)
        return make(Token::range, 2);
    if (std::string("{}(),;.-").find(c) != std::string::npos)
        return make(Token::symbol, 1);
    throw SourceError(here(), std::string("unexpected character '") + c + "'");
}

}  // namespace asn1gen
