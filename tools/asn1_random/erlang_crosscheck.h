#pragma once

// The cross-check of our PER runtime with Erlang/OTP's ASN.1 coder. For every type a controller
// or agent message may hold, random values are made (a type written inside another travels in a
// value of its enclosing type assignment, made to hold it) and encoded by us; Erlang decodes our
// octets and compares the result with the value, written as an Erlang term, and encodes the value
// itself; then Erlang's octets must equal ours and decode, by us, to the value we started from.

#include "tools/asn1_random/type_graph.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ASN1 {
class AbstractData;
}

namespace TypeDirectory {
struct Entry;
}

namespace asn1random {

struct CrossCheckOptions {
    std::string exportDir;  // the plain-ASN.1 export of the modules
    std::string workDir;    // Erlang's compiled modules and the exchange files
    std::string escript;    // erlang_per.escript
    unsigned valuesPerType = 20;
    unsigned seed = 1;
};

class ErlangCrossCheck {
public:
    // The exit status of run(): every value agreed, some did not, or Erlang's coder is missing.
    enum Outcome { passed = 0, failed = 1, skipped = 77 };

    ErlangCrossCheck(const CrossCheckOptions& options, std::ostream& log);
    ~ErlangCrossCheck();

    // The types of every value a controller or agent message may hold; each gets its values.
    void addRoot(const TypeInfo* root);
    Outcome run();

private:
    struct Case;

    bool makeCases();
    bool runErlang();
    bool compareResults();
    // A failure of one case, with what there is to see of it.
    void reportCase(const Case& c, const std::string& erlangHex, const std::string& note);

    const CrossCheckOptions options_;
    std::ostream& log_;
    TypeGraph graph_;
    std::vector<const TypeInfo*> roots_;
    std::vector<Case> cases_;
    unsigned failures_ = 0;
};

}  // namespace asn1random
