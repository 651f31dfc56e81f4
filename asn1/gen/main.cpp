// asn1gen: reads the message modules and writes what the build needs from them.
//
//   asn1gen [--report] [--closure Module::Type]... [--expect-report FILE] [--export DIR]
//           [--cpp DIR] [--parts Module=N]... [--directory FILE] MODULE.asn...
//
//   --report         print the number of generated classes per module, and per --closure root
//                    the classes a value of that type may contain
//   --expect-report  the self-check: print the report and fail unless it equals FILE
//   --export         write each module as plain ASN.1 into DIR/<module>.asn
//   --cpp            write the C++ classes of each module into DIR/asn1/modules/: <module>.h and
//                    the sources <module>_1.cpp ... <module>_N.cpp, N given by --parts (default 1)
//   --directory      write the type directory header (every class with its descriptor and export
//                    name) to FILE

#include "asn1/gen/asn1_export.h"
#include "asn1/gen/cpp_emitter.h"
#include "asn1/gen/parser.h"
#include "asn1/gen/schema.h"
#include "asn1/gen/text_file.h"
#include "asn1/gen/type_catalogue.h"
#include "asn1/gen/type_directory.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Options {
    bool report = false;
    std::vector<std::string> roots;
    std::string expected_report;
    std::string export_dir;
    std::string cpp_dir;
    std::string directory_file;
    std::map<std::string, unsigned> parts;
    std::vector<std::string> inputs;
};

const char usage[] =
    "usage: asn1gen [--report] [--closure Module::Type]... [--expect-report FILE] [--export DIR]\n"
    "               [--cpp DIR] [--parts Module=N]... [--directory FILE] MODULE.asn...\n";

// "Module=N" with N from 1 to 64.
bool parse_parts(const std::string& arg, std::map<std::string, unsigned>& parts)
{
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    char* end = nullptr;
    const unsigned long n = std::strtoul(arg.c_str() + equals + 1, &end, 10);
    if (*end != '\0' || n < 1 || n > 64)
        return false;
    parts[arg.substr(0, equals)] = static_cast<unsigned>(n);
    return true;
}

bool parse_options(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--report") {
            options.report = true;
        } else if (arg == "--closure" && has_value) {
            options.roots.push_back(argv[++i]);
        } else if (arg == "--expect-report" && has_value) {
            options.report = true;
            options.expected_report = argv[++i];
        } else if (arg == "--export" && has_value) {
            options.export_dir = argv[++i];
        } else if (arg == "--cpp" && has_value) {
            options.cpp_dir = argv[++i];
        } else if (arg == "--directory" && has_value) {
            options.directory_file = argv[++i];
        } else if (arg == "--parts" && has_value) {
            if (!parse_parts(argv[++i], options.parts))
                return false;
        } else if (!arg.empty() && arg[0] != '-') {
            options.inputs.push_back(arg);
        } else {
            return false;
        }
    }
    return !options.inputs.empty();
}

// Returns false when the report differs from the expected one.
bool run(const Options& options)
{
    asn1gen::Schema schema;
    for (const std::string& input : options.inputs)
        asn1gen::parse_file(schema, input);
    schema.resolve();
    const asn1gen::TypeCatalogue catalogue(schema);

    bool as_expected = true;
    if (options.report) {
        std::ostringstream report;
        asn1gen::write_type_report(report, schema, catalogue, options.roots);
        std::cout << report.str();
        if (!options.expected_report.empty()) {
            const std::string expected = asn1gen::read_file(options.expected_report);
            if (report.str() != expected) {
                std::cerr << "asn1gen: the report differs from " << options.expected_report << ":\n" << expected;
                as_expected = false;
            }
        }
    }
    if (!options.export_dir.empty()) {
        for (const asn1gen::Module& module : schema.modules()) {
            std::ostringstream text;
            asn1gen::write_standard_module(text, module);
            asn1gen::write_if_changed(options.export_dir + "/" + module.name + ".asn", text.str());
        }
    }
    if (!options.cpp_dir.empty()) {
        const std::string dir = options.cpp_dir + "/asn1/modules/";
        for (const asn1gen::Module& module : schema.modules()) {
            const auto parts = options.parts.find(module.name);
            const asn1gen::CppModule cpp =
                asn1gen::emit_cpp_module(module, catalogue, parts == options.parts.end() ? 1 : parts->second);
            asn1gen::write_if_changed(dir + module.name + ".h", cpp.header);
            for (std::size_t i = 0; i < cpp.sources.size(); ++i)
                asn1gen::write_if_changed(dir + module.name + "_" + std::to_string(i + 1) + ".cpp", cpp.sources[i]);
        }
    }
    if (!options.directory_file.empty())
        asn1gen::write_if_changed(options.directory_file, asn1gen::emit_type_directory(schema, catalogue));
    return as_expected;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse_options(argc, argv, options)) {
        std::cerr << usage;
        return 2;
    }
    try {
        if (!run(options))
            return 1;
    } catch (const std::exception& e) {
        std::cerr << "asn1gen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
