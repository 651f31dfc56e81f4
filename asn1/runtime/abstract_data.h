#pragma once

// Base of every ASN.1 value. A value points at the constant descriptor of its type (the
// descriptor, not the class, carries tag, constraint and component tables), owns everything it
// holds, copies deeply, and dispatches to exactly one slot of each visitor: it never knows how
// it is coded.
//
// Descriptors are aggregates built from constants only, so every descriptor is constant data
// before main runs and may refer to any other. Each descriptor begins with
// detail::Allocator<Class>::info(tag) of the class that owns it: decoders and clones then make
// objects of that very class (a generated class, not just its kind), and typed access to them is
// a plain downcast.
//
// Values live in the memory of value_pool.h: a message's many small objects never reach the
// global heap one by one.

#include "asn1/runtime/value_pool.h"

#include <cstddef>
#include <ios>
#include <iosfwd>
#include <new>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace ASN1 {

class Visitor;
class ConstVisitor;
class PERDecoder;
class PEREncoder;

enum ConstraintType {
    Unconstrained = 0,
    PartiallyConstrained = 1,  // lower bound only
    FixedConstraint = 2,       // both bounds, no extension marker
    ExtendableConstraint = 3,  // both bounds and an extension marker
};

// The constraint of a type without bounds (the lists of every module use it).
struct EmptyConstraint {
    static constexpr ConstraintType type = Unconstrained;
    static constexpr int lowerLimit = 0;
    static constexpr unsigned upperLimit = 0xffffffffu;
};

class AbstractData {
public:
    // The alignment every value class keeps to.
    static constexpr std::size_t valueAlignment = alignof(void*);

    // The fields every descriptor kind starts with.
    struct InfoType {
        // A new value of the type in its default state, owned by the caller.
        AbstractData* (*create)(const InfoType* info);
        // The universal tag number; 0 for CHOICE and the open types.
        unsigned tag;
        // Builds at `where` (size octets, aligned as valueAlignment) a copy of original, or a
        // default value of the type when original is null: how a SEQUENCE keeps its components in
        // one block. A descriptor written without them has its values made by create alone.
        AbstractData* (*place)(void* where, const InfoType* info, const AbstractData* original) = nullptr;
        unsigned size = 0;
        // PER coding written for the type by the generator, which PERDecoder::decode and
        // PEREncoder::encode run instead of the visitor walk; null for none. It must give exactly
        // what the walk gives.
        bool (*perDecode)(PERDecoder& decoder, AbstractData& value) = nullptr;
        bool (*perEncode)(PEREncoder& encoder, const AbstractData& value) = nullptr;
        // The value's destructor does nothing, so the value may be dropped without calling it.
        bool plain = false;
        // Keeps a value no longer needed, with all it holds, for the next decoder that needs a new
        // value of its class (CHOICE::alternative), which fills it again; false when it keeps
        // none, the caller then deleting the value.
        bool (*keep)(AbstractData* value) = nullptr;
    };

    virtual ~AbstractData() = default;

    static void* operator new(std::size_t size) { return detail::allocate(size); }
    // Not noexcept: where is never null, and callers need not check.
    static void* operator new(std::size_t, void* where) { return where; }
    static void operator delete(void* p, std::size_t size) noexcept { detail::release(p, size); }

    const InfoType* info() const { return info_; }

    // Negative, zero or positive. Values of different types (different descriptors) order by
    // their descriptors, so the content of one is never read as the other's class.
    int compare(const AbstractData& other) const;
    // A deep copy of the same class, owned by the caller.
    AbstractData* clone() const { return do_clone(); }
    bool accept(Visitor& visitor) { return do_accept(visitor); }
    bool accept(ConstVisitor& visitor) const { return do_accept(visitor); }

    // Defined by the value-notation writer and reader and by the validity checkers.
    std::ios_base::iostate print_on(std::ostream& os) const;
    std::string asValueNotation() const;
    std::ios_base::iostate get_from(std::istream& is);
    bool setFromValueNotation(const std::string& text);
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    explicit AbstractData(const InfoType* info) : info_(info) {}
    AbstractData(const AbstractData&) = default;
    // Assignment copies content only: a value keeps the descriptor it was built with.
    AbstractData& operator=(const AbstractData&) { return *this; }

    // Called by compare() only, with a value of the same descriptor.
    virtual int do_compare(const AbstractData& other) const = 0;
    virtual AbstractData* do_clone() const = 0;
    virtual bool do_accept(Visitor& visitor) = 0;
    virtual bool do_accept(ConstVisitor& visitor) const = 0;

    // The do_clone of every kind: a default value made by the descriptor's factory (so a
    // generated class stays itself), then the content assigned.
    template <class T>
    static AbstractData* cloneThrough(const T& self)
    {
        T* copy = static_cast<T*>(self.info_->create(self.info_));
        *copy = self;
        return copy;
    }

private:
    const InfoType* info_;
};

inline bool operator==(const AbstractData& a, const AbstractData& b) { return a.compare(b) == 0; }
inline bool operator!=(const AbstractData& a, const AbstractData& b) { return a.compare(b) != 0; }

// Base of every class whose descriptor is a constrained descriptor.
class ConstrainedObject : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        ConstraintType type;
        int lowerLimit;  // a value bound for INTEGER; a size bound (never negative) for sized types
        unsigned upperLimit;
    };

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

protected:
    explicit ConstrainedObject(const InfoType* info) : AbstractData(info) {}
};

namespace detail {

// Whether the values of T need no destructor call: T names a class Plain whose destructor does
// nothing (a class holding plain data only declares itself so) and adds no data to it. A class
// that adds no data keeps its base's destructor as it is.
template <class T, class = void>
struct PlainValue {
    static constexpr bool value = false;
};
template <class T>
struct PlainValue<T, std::void_t<typename T::Plain>> {
    static constexpr bool value = sizeof(T) == sizeof(typename T::Plain);
};

// A value of T kept by the thread for the next decoder that needs a new one: decoding it again
// costs no construction, and for a constructed value none of what it holds either. One per class
// and thread, kept for the life of the thread, as the memory of the pool.
template <class T>
struct Spare {
    static inline thread_local T* value = nullptr;

    // The kept value, or a new default one.
    static T* take()
    {
        T* taken = value;
        value = nullptr;
        return taken ? taken : new T();
    }
};

// Whether T has a descriptor of its own (theInfo), whose values its spare may hold.
template <class T, class = void>
struct OwnInfo {
    static constexpr bool value = false;
};
template <class T>
struct OwnInfo<T, std::void_t<decltype(&T::theInfo)>> {
    static constexpr bool value = true;
};

// The factory policy: a descriptor begins with Allocator<T>::info(tag) for the class T it belongs
// to. T must have a constructor taking a pointer to its own descriptor kind.
template <class T>
struct Allocator {
    static AbstractData* create(const AbstractData::InfoType* info)
    {
        return new T(static_cast<const typename T::InfoType*>(info));
    }
    static AbstractData* place(void* where, const AbstractData::InfoType* info, const AbstractData* original)
    {
        if (original)
            return new (where) T(static_cast<const T&>(*original));
        return new (where) T(static_cast<const typename T::InfoType*>(info));
    }
    static constexpr AbstractData::InfoType info(unsigned tag,
        bool (*perDecode)(PERDecoder&, AbstractData&) = nullptr,
        bool (*perEncode)(PEREncoder&, const AbstractData&) = nullptr)
    {
        static_assert(alignof(T) <= AbstractData::valueAlignment);
        return {&create, tag, &place, sizeof(T), perDecode, perEncode, PlainValue<T>::value, &keep};
    }
    // Only a value of exactly T with T's own descriptor goes to T's spare, and only while it is
    // free.
    static bool keep(AbstractData* value)
    {
        if constexpr (OwnInfo<T>::value) {
            if (Spare<T>::value || value->info() != &T::theInfo || typeid(*value) != typeid(T))
                return false;
            Spare<T>::value = static_cast<T*>(value);
            return true;
        }
        return false;
    }
};

}  // namespace detail

}  // namespace ASN1
