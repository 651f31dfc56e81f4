#pragma once

// A counting handle to an object that carries its own reference count (a member `ref_count`).
// The last handle to let go deletes the object; the object's class decides where that memory
// goes (pooled packets return their block, status objects go back to the heap).

// Reports a null handle where an object is required and terminates the process.
[[noreturn]] void SmartPtrAssertion();
// The same for the shared-pointer counterpart.
[[noreturn]] void SharedPtrAssertion();

template <class T>
class Smart_pointer {
public:
    Smart_pointer() = default;
    Smart_pointer(T* object) : object_(object) { retain(object_); }
    Smart_pointer(const Smart_pointer& other) : object_(other.object_) { retain(object_); }
    ~Smart_pointer() { release(); }

    Smart_pointer& operator=(const Smart_pointer& other) { return *this = other.object_; }

    // Takes the new object before letting go of the old one, so that assigning the object a
    // handle already holds never frees it on the way.
    Smart_pointer& operator=(T* object)
    {
        retain(object);
        release();
        object_ = object;
        return *this;
    }

    T* operator->() const
    {
        if (!object_)
            SmartPtrAssertion();
        return object_;
    }

    const T* get() const { return object_; }
    bool is_null() const { return object_ == nullptr; }

protected:
    static void retain(T* object)
    {
        if (object)
            ++object->ref_count;
    }

    // Drops this handle's reference; the handle is null afterwards.
    void release()
    {
        T* object = object_;
        object_ = nullptr;
        if (!object)
            return;
        if (object->ref_count > 0)
            --object->ref_count;
        if (object->ref_count == 0)
            delete object;
    }

    T* object_ = nullptr;
};
