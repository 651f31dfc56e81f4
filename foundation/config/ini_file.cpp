#include "foundation/config/ini_file.h"

#include "foundation/config/ini_parser.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

namespace IniFile {
namespace {

template <class Node>
void delete_all(F_dual_list<Node>& list)
{
    while (Node* node = list.remove_from_head())
        delete node;
}

// A new named node at the end of the list, which lookups by its name find from now on.
template <class Node>
Node& append_named(F_dual_list<Node>& list, std::map<std::string, Node*>& index, const std::string& name)
{
    Node* node = new Node(name);
    list.insert_to_tail(node);
    index[name] = node;
    return *node;
}

}  // namespace

bool SubKey::GetBool(bool otherwise) const
{
    if (value_ == "true" || value_ == "yes" || value_ == "1" || value_ == "on")
        return true;
    if (value_ == "false" || value_ == "no" || value_ == "0" || value_ == "off")
        return false;
    return otherwise;
}

int SubKey::GetInt(int otherwise) const
{
    int result;
    return std::sscanf(value_.c_str(), "%d", &result) == 1 ? result : otherwise;
}

float SubKey::GetFloat(float otherwise) const
{
    float result;
    return std::sscanf(value_.c_str(), "%f", &result) == 1 ? result : otherwise;
}

void SubKey::SetBool(bool value) { value_ = value ? "yes" : "no"; }

void SubKey::SetInt(int value) { value_ = std::to_string(value); }

void SubKey::SetFloat(float value)
{
    std::ostringstream text;
    text << value;
    value_ = text.str();
}

void SubKey::Dump(std::ostream& out) const
{
    out << "dumping IniFile::SubKey\n"
        << "mValue=\"" << value_ << "\"\n"
        << "mLineNo=" << line_ << '\n';
}

SubKey& Key::NewSubKey(const std::string& value, int line)
{
    SubKey* subkey = new SubKey(value, line);
    values_.insert_to_tail(subkey);
    return *subkey;
}

void Key::CheckEmpty()
{
    if (values_.empty())
        NewSubKey(std::string(), -1);
}

void Key::CleanSubKeys() { delete_all(values_); }

void Key::Dump(std::ostream& out) const
{
    out << "dumping IniFile::Key\n"
        << "mName=\"" << name_ << "\"\n"
        << "mSubKeyCount=" << values_.size() << '\n';
    for (const SubKey& value : *this)
        value.Dump(out);
}

Key& SubSection::operator[](const std::string& name)
{
    auto found = index_.find(name);
    return found != index_.end() ? *found->second : NewKey(name);
}

Key& SubSection::NewKey(const std::string& name) { return append_named(keys_, index_, name); }

SubKey& SubSection::NewSubKey(const std::string& key, const std::string& value, int line)
{
    return (*this)[key].NewSubKey(value, line);
}

void SubSection::CleanKeys()
{
    index_.clear();
    delete_all(keys_);
}

void SubSection::Dump(std::ostream& out) const
{
    out << "dumping IniFile::SubSection\n"
        << "mLineNo=\"" << line_ << "\"\n"
        << "mKeyCount=" << keys_.size() << '\n';
    for (const Key& key : *this)
        key.Dump(out);
}

SubSection& Section::NewSubSection(int line)
{
    SubSection* subsection = new SubSection(line);
    subsections_.insert_to_tail(subsection);
    return *subsection;
}

void Section::CheckEmpty()
{
    if (subsections_.empty())
        NewSubSection(-1);
}

void Section::CleanSubSections() { delete_all(subsections_); }

void Section::Dump(std::ostream& out) const
{
    out << "dumping IniFile::Section\n"
        << "mName=\"" << name_ << "\"\n"
        << "mSubSectionCount=" << subsections_.size() << '\n';
    for (const SubSection& subsection : *this)
        subsection.Dump(out);
}

bool File::Open(const std::string& name)
{
    Close();
    name_ = name;
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return false;
    Read(in);
    return true;
}

// Sections made by a lookup on a model that never opened are freed as well.
void File::Close()
{
    CleanSections();
    opened_ = false;
}

Section& File::operator[](const std::string& name)
{
    auto found = index_.find(name);
    return found != index_.end() ? *found->second : NewSection(name);
}

Section& File::NewSection(const std::string& name) { return append_named(sections_, index_, name); }

SubSection& File::NewSubSection(const std::string& section, int line)
{
    return (*this)[section].NewSubSection(line);
}

void File::CleanSections()
{
    index_.clear();
    delete_all(sections_);
}

void File::Dump(std::ostream& out) const
{
    out << "dumping IniFile::File\n"
        << "mFileName=\"" << name_ << "\"\n"
        << '\n'
        << "mSectionCount=" << sections_.size() << '\n';
    for (const Section& section : *this)
        section.Dump(out);
}

void File::Read(std::istream& in)
{
    opened_ = true;
    Parser parser(*this);
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get())
        parser.feed(char(c));
    parser.finish();
}

std::istream& operator>>(std::istream& in, File& file)
{
    file.Close();
    file.name_.clear();
    file.Read(in);
    return in;
}

}  // namespace IniFile
