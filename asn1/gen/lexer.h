#pragma once

// Splits module text into tokens. Comments run from "--" to the end of the line or to the
// next "--". Identifiers may contain "-" (never two in a row, never last) and "_".

#include "asn1/gen/schema.h"

#include <string>

namespace asn1gen {

struct Token {
    enum Kind {
        end,
        word,      // identifier, type reference or keyword
        number,    // unsigned decimal digits
        assign,    // ::=
        range,     // ..
        ellipsis,  // ...
        symbol,    // one of { } ( ) , ; . -
    };
    Kind kind = end;
    std::string text;
    SourceLocation where;
};

class Lexer {
public:
    Lexer(std::string text, std::string file);

    Token next();

private:
    void skip_space_and_comments();
    Token make(Token::Kind kind, std::size_t length);
    SourceLocation here() const { return {file_, line_}; }

    std::string text_;
    std::string file_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace asn1gen
