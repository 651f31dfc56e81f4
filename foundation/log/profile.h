#pragma once

// Named timing points: static objects of the code paths that time themselves, kept on one
// global list (newest first) and printed at the end of the reactor's status dump.

#include "foundation/reactor/measure.h"

#include <iosfwd>

namespace Profile {

class Point {
public:
    explicit Point(const char* name);
    ~Point();
    Point(const Point&) = delete;
    Point& operator=(const Point&) = delete;

    void begin() { measure_.begin(); }
    void end() { measure_.end(); }
    // "[name]: min=... max=... avg=<last interval> counter=...", no end of line.
    void put(std::ostream& out) const;

    Point* next() const { return next_; }
    const char* name() const { return name_; }
    const Measure& measure() const { return measure_; }

private:
    Point* next_;
    const char* name_;
    Measure measure_;
};

// Head of the list of all points, newest first.
extern Point* mRoot;

// Every point, one per line.
void dump(std::ostream& out);

}  // namespace Profile
