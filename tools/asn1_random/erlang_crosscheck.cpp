#include "tools/asn1_random/erlang_crosscheck.h"

#include "asn1/modules/type_directory.h"
#include "asn1/runtime/coder_env.h"
#include "tools/asn1_random/erlang_term_writer.h"
#include "tools/asn1_random/random_value_filler.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <random>
#include <sstream>

namespace asn1random {

namespace {

// Failures shown in full; the rest are only counted.
constexpr unsigned shownFailures = 20;

std::string hex(const std::vector<char>& octets)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : octets) {
        const unsigned octet = static_cast<unsigned char>(c);
        text += digits[octet >> 4];
        text += digits[octet & 15];
    }
    return text;
}

bool fromHex(const std::string& text, std::vector<char>& octets)
{
    if (text.size() % 2)
        return false;
    octets.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const unsigned long octet = std::strtoul(pair.c_str(), &end, 16);
        if (*end != '\0')
            return false;
        octets.push_back(static_cast<char>(octet));
    }
    return true;
}

std::string erlangBinary(const std::vector<char>& octets)
{
    std::string text = "<<";
    for (std::size_t i = 0; i < octets.size(); ++i)
        text += (i ? "," : "") + std::to_string(static_cast<unsigned char>(octets[i]));
    return text + ">>";
}

// The same values for a type on every run with the same seed, whatever else is checked.
std::mt19937 randomFor(const TypeDirectory::Entry& type, unsigned seed)
{
    std::vector<unsigned> key{seed};
    for (const char* c = type.module; *c; ++c)
        key.push_back(static_cast<unsigned char>(*c));
    for (const char* c = type.exportPath; *c; ++c)
        key.push_back(static_cast<unsigned char>(*c));
    std::seed_seq sequence(key.begin(), key.end());
    return std::mt19937(sequence);
}

// Runs the program with the arguments and waits for it; its exit status, or -1.
int runProgram(const std::vector<std::string>& arguments, std::ostream& log)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        log << "cannot run " << arguments.front() << ": " << std::strerror(errno) << '\n';
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

struct ErlangCrossCheck::Case {
    const TypeDirectory::Entry* type;
    std::unique_ptr<ASN1::AbstractData> value;  // of the type assignment the type is written in
    std::vector<char> octets;                   // our encoding of it
};

ErlangCrossCheck::ErlangCrossCheck(const CrossCheckOptions& options, std::ostream& log)
    : options_(options), log_(log)
{
}

ErlangCrossCheck::~ErlangCrossCheck() = default;

void ErlangCrossCheck::addRoot(const TypeInfo* root) { roots_.push_back(root); }

ErlangCrossCheck::Outcome ErlangCrossCheck::run()
{
    if (!makeCases())
        return failed;
    const int erlang = runProgram({"escript", options_.escript, "crosscheck", options_.exportDir,
                                      options_.workDir + "/beam", options_.workDir + "/cases.txt",
                                      options_.workDir + "/results.txt"},
        log_);
    if (erlang == skipped)
        return skipped;
    if (erlang != 0) {
        log_ << "Erlang's side of the check failed (exit status " << erlang << ")\n";
        return failed;
    }
    if (!compareResults())
        return failed;
    log_ << "erlang cross-check: " << cases_.size() << " values, " << failures_ << " disagreeing\n";
    return failures_ ? failed : passed;
}

bool ErlangCrossCheck::makeCases()
{
    std::map<const TypeInfo*, const TypeDirectory::Entry*> directory;
    RecordNames records;
    for (const TypeDirectory::Entry& entry : TypeDirectory::entries) {
        directory[entry.info] = &entry;
        records[entry.info] = entry.exportPath;
    }
    std::vector<const TypeDirectory::Entry*> types;
    std::map<std::string, unsigned> perModule;
    for (const TypeInfo* type : graph_.closure(roots_)) {
        const auto found = directory.find(type);
        if (found != directory.end()) {
            types.push_back(found->second);
            ++perModule[found->second->module];
        }
    }
    log_ << "types reached: " << types.size() << " (";
    for (const auto& [module, count] : perModule)
        log_ << (module == perModule.begin()->first ? "" : ", ") << module << ' ' << count;
    log_ << "), " << options_.valuesPerType << " values each, seed " << options_.seed << '\n';

    std::error_code error;
    std::filesystem::create_directories(options_.workDir, error);
    std::ofstream file(options_.workDir + "/cases.txt");
    const ASN1::CoderEnv env;
    ErlangTermWriter writer(records);
    for (const TypeDirectory::Entry* type : types) {
        std::mt19937 random = randomFor(*type, options_.seed);
        RandomValueFiller filler(random, graph_);
        for (unsigned n = 0; n < options_.valuesPerType; ++n) {
            Case c{type, std::unique_ptr<ASN1::AbstractData>(type->ownerInfo->create(type->ownerInfo)), {}};
            std::string term;
            if (!filler.fill(*c.value, type->info) || !filler.focusPlaced()) {
                log_ << type->module << "::" << type->name << ": no value of this type could be made\n";
                return false;
            }
            if (!ASN1::encode(*c.value, &env, std::back_inserter(c.octets))) {
                reportCase(c, "-", "our encoder refuses the value");
                continue;
            }
            if (!writer.write(*c.value, term)) {
                reportCase(c, "-", "the value has no Erlang term");
                continue;
            }
            file << '{' << cases_.size() << ",'" << type->module << "','" << type->ownerType << "',"
                 << erlangBinary(c.octets) << ',' << term << "}.\n";
            cases_.push_back(std::move(c));
        }
    }
    file.close();
    if (!file) {
        log_ << "cannot write " << options_.workDir << "/cases.txt\n";
        return false;
    }
    return true;
}

bool ErlangCrossCheck::compareResults()
{
    std::ifstream file(options_.workDir + "/results.txt");
    std::map<std::size_t, std::pair<std::string, std::string>> results;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::size_t index = 0;
        std::string erlangHex;
        std::string note;
        if (!(fields >> index >> erlangHex))
            continue;
        std::getline(fields >> std::ws, note);
        results[index] = {erlangHex, note};
    }
    if (results.size() != cases_.size()) {
        log_ << "Erlang answered " << results.size() << " of " << cases_.size() << " values\n";
        return false;
    }
    const ASN1::CoderEnv env;
    for (std::size_t i = 0; i < cases_.size(); ++i) {
        const Case& c = cases_[i];
        const auto& [erlangHex, note] = results[i];
        std::vector<char> erlangOctets;
        if (note != "ok") {
            reportCase(c, erlangHex, note);
        } else if (erlangHex != hex(c.octets) || !fromHex(erlangHex, erlangOctets)) {
            reportCase(c, erlangHex, "Erlang encodes the value otherwise");
        } else {
            const std::unique_ptr<ASN1::AbstractData> back(c.value->info()->create(c.value->info()));
            const char* data = erlangOctets.data();
            if (!ASN1::decode(data, data + erlangOctets.size(), &env, *back, true))
                reportCase(c, erlangHex, "we cannot decode Erlang's octets");
            else if (back->compare(*c.value) != 0)
                reportCase(c, erlangHex, "we decode Erlang's octets as " + back->asValueNotation());
        }
    }
    return true;
}

void ErlangCrossCheck::reportCase(const Case& c, const std::string& erlangHex, const std::string& note)
{
    if (++failures_ > shownFailures)
        return;
    log_ << "MISMATCH " << c.type->module << "::" << c.type->name << " in a value of " << c.type->ownerType << ": "
         << note << "\n  value:  " << c.value->asValueNotation() << "\n  ours:   " << hex(c.octets)
         << "\n  Erlang: " << erlangHex << '\n';
}

}  // namespace asn1random
