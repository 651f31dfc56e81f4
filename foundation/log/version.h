#pragma once

// The build identity of the program. The record points at constant strings; its version text
// appears in the start-up line, the log ident, "--version" and the status dump.

#include <iosfwd>

class Version {
public:
    enum Type { snapshot = 0, test = 1, release = 2, unit_test = 3 };

    Version(Type type, int number, const char* extra, const char* builder, const char* date, const char* text,
            const char* architecture);

    // Writes the version text and nothing else.
    void put(std::ostream& out) const;
    void update() {}

    Type type;
    int number;
    const char* extra;
    const char* builder;
    const char* date;
    const char* text;
    const char* architecture;

    static const Version current;
};

// "snapshot", "test", "release", "unit-test"; "unknown" for any other value.
const char* version_string(Version::Type type);
// "S", "T", "R", "T" (unit-test shares the letter of test); "U" for any other value.
const char* version_suffix(Version::Type type);

std::ostream& operator<<(std::ostream& out, Version::Type type);
std::ostream& operator<<(std::ostream& out, const Version& version);
