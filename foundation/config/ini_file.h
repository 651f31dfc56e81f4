#pragma once

// The configuration file as an ordered, line-numbered model. A section header written several
// times gives one section with several sub-sections; a key written several times in one
// sub-section keeps every value, and whoever reads it decides what the repetition means.
// Each level lists its children in the order the file first produced them; File and SubSection
// also index theirs by name (byte-wise, case-sensitive). Every node owns its children.

#include "foundation/reactor/intrusive_list.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>

namespace IniFile {

// Walks the children of one level; the end is the null pointer.
template <class Node>
class GenericIterator {
public:
    GenericIterator(Node* node = nullptr) : node_(node) {}

    GenericIterator& operator++()
    {
        node_ = node_->next;
        return *this;
    }
    GenericIterator operator++(int)
    {
        GenericIterator old = *this;
        node_ = node_->next;
        return old;
    }
    Node& operator*() const { return *node_; }
    Node* operator->() const { return node_; }
    bool operator!=(const GenericIterator& other) const { return node_ != other.node_; }
    bool operator==(const GenericIterator& other) const { return node_ == other.node_; }

private:
    Node* node_;
};

// One occurrence of a key: its value without the surrounding spaces and its line (-1 when made
// by CheckEmpty rather than read).
class SubKey : public F_dual_list_item<SubKey> {
public:
    SubKey(const std::string& value, int line) : value_(value), line_(line) {}
    SubKey(const SubKey&) = delete;
    SubKey& operator=(const SubKey&) = delete;

    const std::string& value() const { return value_; }
    int line() const { return line_; }

    // "true", "yes", "1", "on" / "false", "no", "0", "off"; anything else gives the default.
    bool GetBool(bool otherwise) const;
    // A leading number as scanf reads it; none gives the default.
    int GetInt(int otherwise) const;
    float GetFloat(float otherwise) const;

    void SetBool(bool value);
    void SetInt(int value);
    void SetFloat(float value);

    void Dump(std::ostream& out) const;

private:
    std::string value_;
    int line_;
};

class Key : public F_dual_list_item<Key> {
public:
    explicit Key(const std::string& name) : name_(name) {}
    ~Key() { CleanSubKeys(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    const std::string& name() const { return name_; }
    uint32_t count() const { return values_.size(); }
    GenericIterator<SubKey> begin() const { return values_.head(); }
    GenericIterator<SubKey> end() const { return nullptr; }

    SubKey& NewSubKey(const std::string& value, int line);
    // Gives a key without values the empty value, so that it can be read like any other.
    void CheckEmpty();
    void CleanSubKeys();

    void Dump(std::ostream& out) const;

private:
    std::string name_;
    F_dual_list<SubKey> values_;
};

// One occurrence of a section header with the keys that follow it.
class SubSection : public F_dual_list_item<SubSection> {
public:
    explicit SubSection(int line) : line_(line) {}
    ~SubSection() { CleanKeys(); }
    SubSection(const SubSection&) = delete;
    SubSection& operator=(const SubSection&) = delete;

    // The header's line; -1 when made by CheckEmpty.
    int line() const { return line_; }
    uint32_t count() const { return keys_.size(); }
    GenericIterator<Key> begin() const { return keys_.head(); }
    GenericIterator<Key> end() const { return nullptr; }

    // The key of that name; a missing one is appended without values.
    Key& operator[](const std::string& name);
    // Appends a key without values, also when one of that name exists: lookups then find the new one.
    Key& NewKey(const std::string& name);
    SubKey& NewSubKey(const std::string& key, const std::string& value, int line);
    void CleanKeys();

    void Dump(std::ostream& out) const;

private:
    int line_;
    F_dual_list<Key> keys_;
    std::map<std::string, Key*> index_;
};

class Section : public F_dual_list_item<Section> {
public:
    explicit Section(const std::string& name) : name_(name) {}
    ~Section() { CleanSubSections(); }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    const std::string& name() const { return name_; }
    uint32_t count() const { return subsections_.size(); }
    GenericIterator<SubSection> begin() const { return subsections_.head(); }
    GenericIterator<SubSection> end() const { return nullptr; }

    SubSection& NewSubSection(int line);
    // Gives a section without sub-sections an empty one, so that its readers run once.
    void CheckEmpty();
    void CleanSubSections();

    void Dump(std::ostream& out) const;

private:
    std::string name_;
    F_dual_list<SubSection> subsections_;
};

class File {
public:
    File() = default;
    explicit File(const std::string& name) { Open(name); }
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Replaces the model with the file's content. Any content is accepted; only a file that
    // cannot be opened gives false, leaving the model empty.
    bool Open(const std::string& name);
    void Close();
    // The model is never written back, so there is nothing to write.
    void Sync() {}

    const std::string& name() const { return name_; }
    bool opened() const { return opened_; }
    uint32_t count() const { return sections_.size(); }
    GenericIterator<Section> begin() const { return sections_.head(); }
    GenericIterator<Section> end() const { return nullptr; }

    // The section of that name; a missing one is appended empty, so a lookup changes the model.
    Section& operator[](const std::string& name);
    // Appends an empty section, also when one of that name exists: lookups then find the new one.
    Section& NewSection(const std::string& name);
    SubSection& NewSubSection(const std::string& section, int line);
    void CleanSections();

    void Dump(std::ostream& out) const;

    friend std::istream& operator>>(std::istream& in, File& file);

private:
    void Read(std::istream& in);

    std::string name_;
    bool opened_ = false;
    F_dual_list<Section> sections_;
    std::map<std::string, Section*> index_;
};

// Replaces the model with what the stream holds; the model has no file name.
std::istream& operator>>(std::istream& in, File& file);

}  // namespace IniFile
