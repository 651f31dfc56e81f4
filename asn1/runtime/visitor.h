#pragma once

// The visitor of values it may fill: every decoder derives from it. A value's accept() calls the
// one public visit() overload of its kind, which runs the protected virtual slot; a SEQUENCE runs
// the decoding walk instead, calling the SEQUENCE hooks once per component.

namespace ASN1 {

class CoderEnv;
class Null;
class BOOLEAN;
class INTEGER;
class IntegerWithNamedNumber;
class ENUMERATED;
class OBJECT_IDENTIFIER;
class OCTET_STRING;
class BIT_STRING;
class AbstractString;
class BMPString;
class CHOICE;
class SEQUENCE_OF_Base;
class OpenData;
class TypeConstrainedOpenData;
class GeneralizedTime;
class SEQUENCE;

class Visitor {
public:
    // Results of the SEQUENCE hooks.
    enum SequenceStep {
        Fail = 0,
        Finished = 1,   // stop the walk with success
        RootsOnly = 2,  // go on with the root components only
        Continue = 3,   // go on, extension additions included
    };

    explicit Visitor(const CoderEnv* env = nullptr) : env_(env) {}
    virtual ~Visitor() = default;

    // The coder environment handed on to nested decoders; may be null.
    const CoderEnv* getEnv() const { return env_; }

    bool visit(Null& value) { return do_visit(value); }
    bool visit(BOOLEAN& value) { return do_visit(value); }
    bool visit(INTEGER& value) { return do_visit(value); }
    bool visit(IntegerWithNamedNumber& value) { return do_visit(value); }
    bool visit(ENUMERATED& value) { return do_visit(value); }
    bool visit(OBJECT_IDENTIFIER& value) { return do_visit(value); }
    bool visit(OCTET_STRING& value) { return do_visit(value); }
    bool visit(BIT_STRING& value) { return do_visit(value); }
    bool visit(AbstractString& value) { return do_visit(value); }
    bool visit(BMPString& value) { return do_visit(value); }
    bool visit(CHOICE& value) { return do_visit(value); }
    bool visit(SEQUENCE_OF_Base& value) { return do_visit(value); }
    bool visit(OpenData& value) { return do_visit(value); }
    bool visit(TypeConstrainedOpenData& value) { return do_visit(value); }
    bool visit(GeneralizedTime& value) { return do_visit(value); }
    // Decodes the held value of an open type from its held octets.
    bool revisit(OpenData& value) { return do_revisit(value); }

    // The decoding walk:
    // 1. r = preVisitExtensionRoots; Fail or Finished end the walk.
    // 2. visitExtensionRoot(seq, i, optional index or -1) for each root component; Fail or
    //    Finished end the walk.
    // 3. Unless r was Continue, success.
    // 4. preVisitExtensions; anything but Continue ends the walk (success only for Finished).
    // 5. visitKnownExtension(seq, i, numOptionalFields + k) for addition k at component i; anything
    //    but Continue ends the walk likewise.
    // 6. visitUnknownExtensions.
    bool visit(SEQUENCE& seq);

protected:
    virtual bool do_visit(Null& value) = 0;
    virtual bool do_visit(BOOLEAN& value) = 0;
    virtual bool do_visit(INTEGER& value) = 0;
    // Defaults to the INTEGER slot.
    virtual bool do_visit(IntegerWithNamedNumber& value);
    virtual bool do_visit(ENUMERATED& value) = 0;
    virtual bool do_visit(OBJECT_IDENTIFIER& value) = 0;
    virtual bool do_visit(OCTET_STRING& value) = 0;
    virtual bool do_visit(BIT_STRING& value) = 0;
    virtual bool do_visit(AbstractString& value) = 0;
    virtual bool do_visit(BMPString& value) = 0;
    virtual bool do_visit(CHOICE& value) = 0;
    virtual bool do_visit(SEQUENCE_OF_Base& value) = 0;
    virtual bool do_visit(OpenData& value) = 0;
    virtual bool do_revisit(OpenData& value) = 0;
    virtual bool do_visit(TypeConstrainedOpenData& value) = 0;
    virtual bool do_visit(GeneralizedTime& value) = 0;

    // SEQUENCE hooks, each returning a SequenceStep; the defaults are Continue, Fail, Continue,
    // Fail and true. optionalId is -1 for a mandatory component.
    virtual int preVisitExtensionRoots(SEQUENCE& seq);
    virtual int visitExtensionRoot(SEQUENCE& seq, int index, int optionalId);
    virtual int preVisitExtensions(SEQUENCE& seq);
    virtual int visitKnownExtension(SEQUENCE& seq, int index, int optionalId);
    virtual bool visitUnknownExtensions(SEQUENCE& seq);

    // Steps 4 to 6 of the walk, for a SEQUENCE whose extension bit was set.
    bool visitExtensions(SEQUENCE& seq);

private:
    const CoderEnv* env_;
};

}  // namespace ASN1
