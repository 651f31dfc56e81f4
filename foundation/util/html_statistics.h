#pragma once

// What a statistics page is filled from: a tree of objects, each offering named values, named
// sub-objects and named sequences of objects.

#include <memory>
#include <string>

namespace Stat {

class Object;

// A value that an object may or may not have; true when present.
class Value {
public:
    Value() = default;
    Value(const std::string& text) : present_(true), text_(text) {}

    explicit operator bool() const { return present_; }
    const std::string& text() const { return text_; }

private:
    bool present_ = false;
    std::string text_;
};

// An owned cursor over a sequence of objects.
class IteratorBase {
public:
    virtual ~IteratorBase() = default;

    // Whether the cursor stands on an object.
    virtual bool valid() const = 0;
    virtual void next() = 0;
    virtual const Object* object() const = 0;
};

class Object {
public:
    virtual ~Object() = default;

    // Absent when the object has no value of that name.
    virtual Value statistics_value(const std::string& name) const = 0;
    // Null when the object has no sub-object of that name.
    virtual const Object* statistics_object(const std::string& name) const = 0;
    // Null when the object has no sequence of that name.
    virtual std::unique_ptr<IteratorBase> statistics_iterator(const std::string& name) const = 0;
};

}  // namespace Stat
