#pragma once

// The log-line prefix of an object: every class that logs defines
//     void PutHeader(std::ostream&) const;
// and a log line is written as `out << ext::header(this) << "message"`.

#include <ostream>

namespace ext {

template <class T>
class OutObjHeader {
public:
    explicit OutObjHeader(const T* object) : object_(object) {}
    std::ostream& Put(std::ostream& out) const
    {
        object_->PutHeader(out);
        return out;
    }

private:
    const T* object_;
};

template <class T>
OutObjHeader<T> header(const T* object)
{
    return OutObjHeader<T>(object);
}

template <class T>
std::ostream& operator<<(std::ostream& out, const OutObjHeader<T>& header)
{
    return header.Put(out);
}

}  // namespace ext
