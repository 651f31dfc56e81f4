#include "foundation/log/version.h"

#include <ostream>

// The build system may name whoever made the build.
#ifndef TOVRASEL_BUILDER
#define TOVRASEL_BUILDER "unknown"
#endif

const Version Version::current(Version::snapshot, 0, "", TOVRASEL_BUILDER, "2024-12-05 13:55", "T241205-1355", "ppc");

Version::Version(Type type, int number, const char* extra, const char* builder, const char* date, const char* text,
                 const char* architecture)
    : type(type), number(number), extra(extra), builder(builder), date(date), text(text), architecture(architecture)
{
    update();
}

void Version::put(std::ostream& out) const { out << text; }

const char* version_string(Version::Type type)
{
    switch (type) {
    case Version::snapshot:
        return "snapshot";
    case Version::test:
        return "test";
    case Version::release:
        return "release";
    case Version::unit_test:
        return "unit-test";
    }
    return "unknown";
}

const char* version_suffix(Version::Type type)
{
    switch (type) {
    case Version::snapshot:
        return "S";
    case Version::test:
    case Version::unit_test:
        return "T";
    case Version::release:
        return "R";
    }
    return "U";
}

std::ostream& operator<<(std::ostream& out, Version::Type type) { return out << version_string(type); }

std::ostream& operator<<(std::ostream& out, const Version& version)
{
    version.put(out);
    return out;
}
