#pragma once

// Checks one sub-section of the configuration against the keys a configuring object expects,
// converts their values into the object's variables and reports, one line each, what is
// missing, repeated or invalid. A target whose key fails keeps its value.

#include "foundation/config/ini_file.h"

#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace IniFile {

// One word of an enumeration key; a table ends with a null text.
struct Symbol {
    const char* text;
    int value;
};

namespace Private {

// One expected key. The name belongs to the caller and must outlive the parse.
class KeyValue {
public:
    explicit KeyValue(const char* name) : name_(name) {}
    virtual ~KeyValue() = default;
    KeyValue(const KeyValue&) = delete;
    KeyValue& operator=(const KeyValue&) = delete;

    const char* name() const { return name_; }
    // Converts a value text into the target; false leaves the target unchanged.
    virtual bool do_parse(const char* text) = 0;

    // True once the key was present exactly once and its value converted.
    bool parsed = false;

private:
    const char* name_;
};

// A word of the table, else a strtol number (base prefixes allowed) filling the whole text.
bool parse_enumeration(const Symbol* table, const char* text, long& value);

// An enumeration key; its words come from the caller's table.
template <class T>
class TKeyValue : public KeyValue {
    static_assert(std::is_enum<T>::value, "a configuration key is bool, std::string or an enumeration");
    using Underlying = typename std::underlying_type<T>::type;

public:
    TKeyValue(T* target, const char* name, const Symbol* table) : KeyValue(name), target_(target), table_(table) {}

    bool do_parse(const char* text) override
    {
        long value;
        if (!parse_enumeration(table_, text, value) || value < long(std::numeric_limits<Underlying>::min()) ||
            value > long(std::numeric_limits<Underlying>::max()))
            return false;
        *target_ = static_cast<T>(value);
        return true;
    }

private:
    T* target_;
    const Symbol* table_;
};

// "true", "yes", "enabled", "enable", "1" / "false", "no", "disabled", "disable", "0".
template <>
class TKeyValue<bool> : public KeyValue {
public:
    TKeyValue(bool* target, const char* name) : KeyValue(name), target_(target) {}
    bool do_parse(const char* text) override;

private:
    bool* target_;
};

// Any text, the empty one too.
template <>
class TKeyValue<std::string> : public KeyValue {
public:
    TKeyValue(std::string* target, const char* name) : KeyValue(name), target_(target) {}
    bool do_parse(const char* text) override;

private:
    std::string* target_;
};

}  // namespace Private

class Reader {
public:
    // The expected keys in order of addition; owns its entries.
    class Field {
    public:
        Field() = default;
        Field(const Field&) = delete;
        Field& operator=(const Field&) = delete;

        // Returns the entry's parsed flag, so that the owner can see later whether the key was given.
        template <class T>
        bool& add(T* target, const char* name, const Symbol* table = nullptr)
        {
            if constexpr (std::is_enum<T>::value)
                return add(new Private::TKeyValue<T>(target, name, table));
            else
                return add(new Private::TKeyValue<T>(target, name));
        }
        // Takes ownership of the entry.
        bool& add(Private::KeyValue* entry);

        using Entries = std::vector<std::unique_ptr<Private::KeyValue>>;
        Entries::const_iterator begin() const { return entries_.begin(); }
        Entries::const_iterator end() const { return entries_.end(); }

    private:
        Entries entries_;
    };

    // Every report line starts with the header ("traces: ") and goes to out.
    explicit Reader(const std::string& header, std::ostream& out = std::cerr) : header_(header), out_(out) {}

    // Converts every expected key of the sub-section; false at the first required key that is
    // missing, repeated or invalid. Optional keys are reported but never make the result false.
    bool parse(SubSection& subsection);

    Field required;
    Field optional;

private:
    void report_repeated(const char* kind, const Key& key, const char* after_two, const char* after_more);

    std::string header_;
    std::ostream& out_;
};

}  // namespace IniFile
