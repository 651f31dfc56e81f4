#pragma once

// A scoped trace: "Enter <name>" when made, "Leave <name>" when it goes away, both only when
// enabled.

#include <ostream>

namespace Trace {

class Block {
public:
    Block(bool enabled, const char* name, std::ostream& out);
    ~Block();
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

private:
    bool enabled_;
    const char* name_;
    std::ostream& out_;
};

}  // namespace Trace
