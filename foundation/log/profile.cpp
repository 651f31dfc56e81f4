#include "foundation/log/profile.h"

#include <ostream>

namespace Profile {

Point* mRoot = nullptr;

Point::Point(const char* name) : next_(mRoot), name_(name) { mRoot = this; }

Point::~Point()
{
    for (Point** link = &mRoot; *link; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            return;
        }
    }
}

void Point::put(std::ostream& out) const { out << '[' << name_ << "]: " << measure_; }

void dump(std::ostream& out)
{
    for (const Point* point = mRoot; point; point = point->next()) {
        point->put(out);
        out << '\n';
    }
}

}  // namespace Profile
