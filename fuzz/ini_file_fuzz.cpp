// Feeds arbitrary bytes to the configuration parser one at a time, as a file is read, then dumps
// the model and lets readers convert every sub-section.
//
// Beyond "no crash, no sanitizer report": no section or key name holds a NUL byte (lines holding
// one are skipped, so the readers, which take names as C strings, never see two names as one),
// every line number lies within the input and after its sub-section's header, the values of a key come in line order, and the model written back out
// as plain configuration text ("[section]" and "key=value" lines) reads, through the stream
// operator, into the same model. A reader that takes every key of a sub-section as optional
// always succeeds; one that requires them all succeeds only when each key holds one value.

#include "foundation/config/ini_file.h"
#include "foundation/config/ini_parser.h"
#include "foundation/config/ini_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

enum class Level { low, high };
const IniFile::Symbol levels[] = {{"low", 0}, {"high", 1}, {nullptr, 0}};

// The model as configuration text, without line numbers.
std::string text_of(const IniFile::File& file)
{
    std::string text;
    for (const IniFile::Section& section : file)
        for (const IniFile::SubSection& subsection : section) {
            text += '[' + section.name() + "]\n";
            for (const IniFile::Key& key : subsection)
                for (const IniFile::SubKey& value : key)
                    text += key.name() + '=' + value.value() + '\n';
        }
    return text;
}

bool holds_nul(const std::string& text) { return text.find('\0') != std::string::npos; }

void check_lines(const IniFile::File& file, int lines)
{
    for (const IniFile::Section& section : file)
        for (const IniFile::SubSection& subsection : section) {
            require(!holds_nul(section.name()));
            require(subsection.line() >= 1 && subsection.line() <= lines);
            for (const IniFile::Key& key : subsection) {
                require(!holds_nul(key.name()));
                int previous = subsection.line();
                for (const IniFile::SubKey& value : key) {
                    require(value.line() > previous && value.line() <= lines);
                    previous = value.line();
                    value.GetBool(false);
                    value.GetInt(0);
                    value.GetFloat(0);
                }
            }
        }
}

// Every key of the sub-section, as a bool, a text or an enumeration in turn.
void expect_keys(IniFile::Reader::Field& field, const IniFile::SubSection& subsection, bool& flag, std::string& word,
                 Level& level)
{
    unsigned turn = 0;
    for (const IniFile::Key& key : subsection) {
        const char* name = key.name().c_str();
        if (turn % 3 == 0)
            field.add(&flag, name);
        else if (turn % 3 == 1)
            field.add(&word, name);
        else
            field.add(&level, name, levels);
        ++turn;
    }
}

void read_subsection(IniFile::SubSection& subsection)
{
    bool flag = false;
    std::string word;
    Level level = Level::low;
    std::ostringstream reports;

    IniFile::Reader lenient("fuzz: ", reports);
    expect_keys(lenient.optional, subsection, flag, word, level);
    require(lenient.parse(subsection));

    IniFile::Reader strict("fuzz: ", reports);
    expect_keys(strict.required, subsection, flag, word, level);
    bool single = true;
    for (const IniFile::Key& key : subsection)
        single = single && key.count() == 1;
    require(!strict.parse(subsection) || single);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IniFile::File file;
    std::ostringstream reports;
    IniFile::Parser parser(file, reports);
    int lines = 1;
    for (std::size_t i = 0; i < size; ++i) {
        parser.feed(char(data[i]));
        lines += data[i] == '\n';
    }
    parser.finish();

    std::ostringstream dump;
    file.Dump(dump);
    require(dump.str().compare(0, 22, "dumping IniFile::File\n") == 0);
    check_lines(file, lines);

    const std::string text = text_of(file);
    std::istringstream again(text);
    IniFile::File reread;
    again >> reread;
    require(reread.opened() && text_of(reread) == text);

    for (IniFile::Section& section : file)
        for (IniFile::SubSection& subsection : section)
            read_subsection(subsection);
    return 0;
}
