#include "foundation/log/trace_block.h"

namespace Trace {

Block::Block(bool enabled, const char* name, std::ostream& out) : enabled_(enabled), name_(name), out_(out)
{
    if (enabled_)
        out_ << "Enter " << name_ << std::endl;
}

Block::~Block()
{
    if (enabled_)
        out_ << "Leave " << name_ << std::endl;
}

}  // namespace Trace
