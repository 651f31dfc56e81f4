#pragma once

// A sequence number that counts modulo Mask + 1 (Mask all ones: 127 for the links' modulo-128
// numbers), with the window test the links write as a chain, V(A) <= N(R) <= V(S): true when the
// middle value lies on the way forward from the first to the last, both ends included, across
// the wrap as anywhere else. A <= B alone does not compare; it only holds the pair for the third.

template <class T, T Mask>
class Cyclic {
public:
    struct LessEqPair {
        T first;
        T second;
        friend bool operator<=(const LessEqPair& pair, const Cyclic& last)
        {
            return T((pair.second - pair.first) & Mask) <= T((T(last) - pair.first) & Mask);
        }
    };

    Cyclic() = default;
    Cyclic(T value) : value_(value & Mask) {}

    operator T() const { return value_; }

    Cyclic& operator++()
    {
        value_ = (value_ + 1) & Mask;
        return *this;
    }
    Cyclic operator++(int)
    {
        Cyclic old = *this;
        ++*this;
        return old;
    }
    Cyclic& operator--()
    {
        value_ = (value_ - 1) & Mask;
        return *this;
    }

    friend Cyclic operator+(const Cyclic& a, const Cyclic& b) { return Cyclic(a.value_ + b.value_); }
    friend LessEqPair operator<=(const Cyclic& a, const Cyclic& b) { return {a.value_, b.value_}; }

private:
    T value_ = 0;
};
