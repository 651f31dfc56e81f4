#include "foundation/config/ini_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace IniFile {
namespace Private {
namespace {

const Symbol* find_symbol(const Symbol* table, const char* text)
{
    for (const Symbol* symbol = table; symbol && symbol->text; ++symbol)
        if (std::strcmp(symbol->text, text) == 0)
            return symbol;
    return nullptr;
}

}  // namespace

bool parse_enumeration(const Symbol* table, const char* text, long& value)
{
    if (const Symbol* symbol = find_symbol(table, text)) {
        value = symbol->value;
        return true;
    }
    if (!*text)
        return false;
    char* end;
    errno = 0;
    long number = std::strtol(text, &end, 0);
    if (*end || errno == ERANGE)
        return false;
    value = number;
    return true;
}

bool TKeyValue<bool>::do_parse(const char* text)
{
    static const Symbol words[] = {
        {"true", 1},   {"false", 0},   {"yes", 1}, {"no", 0}, {"enabled", 1}, {"disabled", 0},
        {"enable", 1}, {"disable", 0}, {"1", 1},   {"0", 0},  {nullptr, 0},
    };
    const Symbol* word = find_symbol(words, text);
    if (!word)
        return false;
    *target_ = word->value != 0;
    return true;
}

bool TKeyValue<std::string>::do_parse(const char* text)
{
    *target_ = text;
    return true;
}

}  // namespace Private

bool& Reader::Field::add(Private::KeyValue* entry)
{
    entries_.emplace_back(entry);
    return entry->parsed;
}

bool Reader::parse(SubSection& subsection)
{
    for (const auto& entry : required) {
        Key& key = subsection[entry->name()];
        entry->parsed = false;
        if (key.count() == 1) {
            const SubKey& value = *key.begin();
            entry->parsed = entry->do_parse(value.value().c_str());
            if (!entry->parsed) {
                out_ << header_ << "required key \"" << key.name() << "\" has invalid value=\"" << value.value()
                     << "\", line " << value.line() << '\n';
                return false;
            }
        } else if (key.count() == 0) {
            out_ << header_ << "required key \"" << key.name() << "\" not present, line " << subsection.line()
                 << '\n';
            return false;
        } else {
            report_repeated("required", key, " line.", " lines");
            return false;
        }
    }
    for (const auto& entry : optional) {
        Key& key = subsection[entry->name()];
        entry->parsed = false;
        if (key.count() == 1) {
            const SubKey& value = *key.begin();
            entry->parsed = entry->do_parse(value.value().c_str());
            if (!entry->parsed)
                out_ << header_ << "optional key \"" << key.name() << "\" has invalid value=\"" << value.value()
                     << "\", line " << value.line() << ". Key will be ignored.\n";
        } else if (key.count() > 1) {
            report_repeated("optional", key, " line. Both keys will be ignored.", " lines. All keys will be ignored.");
        }
    }
    return true;
}

// A key given twice names both lines on lines of their own; more often, all lines on one line.
void Reader::report_repeated(const char* kind, const Key& key, const char* after_two, const char* after_more)
{
    out_ << header_ << kind << " key \"" << key.name() << '"';
    if (key.count() == 2) {
        auto value = key.begin();
        out_ << " is duplicated!\n";
        out_ << header_ << " first occurence at " << value->line() << " line.\n";
        out_ << header_ << " second occurence at " << (++value)->line() << after_two << '\n';
        return;
    }
    out_ << " specified more than once:";
    for (const SubKey& value : key)
        out_ << ' ' << value.line();
    out_ << after_more << '\n';
}

}  // namespace IniFile
