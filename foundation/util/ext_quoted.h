#pragma once

// A value between double-quote characters in a log line: `out << ext::quoted(name)`.

#include <ostream>

namespace ext {

template <class T>
class OutQuoted {
public:
    explicit OutQuoted(const T& value) : value_(value) {}
    std::ostream& Put(std::ostream& out) const { return out << '"' << value_ << '"'; }

private:
    const T& value_;
};

template <class T>
OutQuoted<T> quoted(const T& value)
{
    return OutQuoted<T>(value);
}

template <class T>
std::ostream& operator<<(std::ostream& out, const OutQuoted<T>& quoted)
{
    return quoted.Put(out);
}

}  // namespace ext
