#pragma once

// The one object of a class in the process, made on first use and kept to the process's end.
// A test program runs many tests in one process: a test that used the object ends it, so that the
// next use makes it afresh, bound to that test's board, as in a process of its own.
//
//     Service* Service::instance() { return &ProcessWide<Service>::get(); }
//
// A class with a private constructor names ProcessWide<Self> its friend.

#include <memory>

template <class T>
class ProcessWide {
public:
    static T& get()
    {
        std::unique_ptr<T>& object = held();
        if (!object)
            object.reset(new T);
        return *object;
    }
    // Deletes the object if it was made; nothing else may still point at it.
    static void end() { held().reset(); }

private:
    // Made at the first use, so that an object still held is destroyed at exit like any other
    // object made on first use.
    static std::unique_ptr<T>& held()
    {
        static std::unique_ptr<T> object;
        return object;
    }
};
