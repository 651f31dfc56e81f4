#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using TestModule::Inner;
using TestModule::Outer;
using TestModule::Pick;

// Outer { id 5, colour ef, pick inner { flag TRUE, label "deep" }, e1 TRUE }
Outer threeLevels()
{
    Outer outer;
    outer.get_id() = 5u;
    outer.includeOptionalField(0, Outer::colour);
    outer.field<TestModule::Dscp>(Outer::colour).setValue(TestModule::Dscp::ef);
    Inner inner;
    inner.set_flag(true);
    inner.includeOptionalField(0, 1);
    inner.set_label("deep");
    outer.get_pick().setSelection(Pick::inner, inner.clone());
    outer.includeOptionalField(2 + 1, Outer::e1);
    return outer;
}

TEST(Asn1Sequence, FreshValueHoldsOnlyMandatoryComponents)
{
    const Outer outer;
    EXPECT_EQ(outer.fieldCount(), 10u);
    EXPECT_NE(outer.getField(Outer::id), nullptr);
    EXPECT_NE(dynamic_cast<const Pick*>(outer.getField(Outer::pick)), nullptr);
    for (unsigned optional : {Outer::colour, Outer::items, Outer::e0, Outer::e5})
        EXPECT_EQ(outer.getField(optional), nullptr) << optional;
    EXPECT_EQ(outer.getField(10), nullptr);
    EXPECT_EQ(outer.optionalMap().size(), 2u);
    EXPECT_EQ(outer.extensionMap().size(), 0u);
    EXPECT_EQ(outer.get_pick().currentSelection(), -1);
}

TEST(Asn1Sequence, OptionalFieldsComeAndGo)
{
    Outer outer;
    outer.includeOptionalField(1, Outer::items);
    EXPECT_TRUE(outer.hasOptionalField(1));
    EXPECT_FALSE(outer.hasOptionalField(0));
    outer.get_items().push_back(Inner());
    outer.removeOptionalField(1);
    EXPECT_FALSE(outer.hasOptionalField(1));
    ASSERT_NE(outer.getField(Outer::items), nullptr);
    EXPECT_EQ(outer.get_items().size(), 1u);
    // Including again keeps the value.
    outer.includeOptionalField(1, Outer::items);
    EXPECT_EQ(outer.get_items().size(), 1u);
    EXPECT_FALSE(outer.hasOptionalField(2 + 100));
}

TEST(Asn1Sequence, IncludingAnAdditionSetsItsExtensionBit)
{
    Outer outer;
    outer.includeOptionalField(2 + 4, Outer::e4);
    ASSERT_EQ(outer.extensionMap().size(), 5u);
    for (unsigned bit = 0; bit < 5; ++bit)
        EXPECT_EQ(outer.extensionMap()[bit], bit == 4) << bit;
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x08});
    EXPECT_TRUE(outer.hasOptionalField(2 + 4));
    EXPECT_NE(dynamic_cast<ASN1::OCTET_STRING*>(outer.getField(Outer::e4)), nullptr);

    outer.includeOptionalField(2 + 1, Outer::e1);
    EXPECT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x48});
    outer.removeOptionalField(2 + 4);
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x40});

    // An id beyond the known additions is not a field of this type.
    outer.includeOptionalField(2 + 6, Outer::e5);
    EXPECT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(outer.getField(Outer::e5), nullptr);
}

TEST(Asn1Sequence, DeepCopyOfAThreeLevelTree)
{
    const Outer original = threeLevels();
    Outer copy = original;
    EXPECT_EQ(copy.compare(original), 0);
    const Inner* copied_inner = copy.get_pick().get_inner();
    ASSERT_NE(copied_inner, nullptr);
    EXPECT_NE(copied_inner, original.get_pick().get_inner());
    EXPECT_EQ(copied_inner->get_label().getValue(), "deep");

    const_cast<Inner*>(copied_inner)->set_label("changed");
    EXPECT_NE(copy.compare(original), 0);
    EXPECT_EQ(original.get_pick().get_inner()->get_label().getValue(), "deep");

    std::unique_ptr<ASN1::AbstractData> clone(original.clone());
    auto* cloned = dynamic_cast<Outer*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(cloned->compare(original), 0);
    EXPECT_NE(cloned->get_pick().get_inner(), nullptr);

    // Assignment replaces the old tree and keeps the descriptor.
    copy = Outer();
    EXPECT_EQ(copy.get_pick().currentSelection(), -1);
    EXPECT_EQ(copy.info(), &Outer::theInfo);
}

TEST(Asn1Sequence, ComparisonSeesPresenceValuesAndAdditions)
{
    const Outer base = threeLevels();
    Outer other = base;
    other.removeOptionalField(0);
    EXPECT_EQ(base.compare(other), 1);
    EXPECT_EQ(other.compare(base), -1);
    // An absent component's leftover value does not count.
    Outer leftover = other;
    leftover.field<TestModule::Dscp>(Outer::colour).setValue(TestModule::Dscp::cs0);
    EXPECT_EQ(leftover.compare(other), 0);

    // Differing only in the second addition.
    other = base;
    other.field<ASN1::BOOLEAN>(Outer::e1).setValue(true);
    EXPECT_NE(other.compare(base), 0);
    other = base;
    other.removeOptionalField(2 + 1);
    EXPECT_NE(other.compare(base), 0);
}

// Records the encoding walk.
class WalkRecorder : public ASN1::ConstVisitor {
public:
    std::vector<std::string> calls;
    bool refuseExtensions = false;

protected:
    bool preVisitExtensionRoots(const ASN1::SEQUENCE&) override { return log("roots"); }
    bool visitExtensionRoot(const ASN1::SEQUENCE&, int index) override { return log("root " + std::to_string(index)); }
    bool preVisitExtensions(const ASN1::SEQUENCE&) override { return log("extensions") && !refuseExtensions; }
    bool visitKnownExtension(const ASN1::SEQUENCE&, int index) override { return log("addition " + std::to_string(index)); }
    bool afterVisitSequence(const ASN1::SEQUENCE&) override { return log("after"); }

private:
    bool log(const std::string& call)
    {
        calls.push_back(call);
        return true;
    }
};

TEST(Asn1SequenceWalk, EncodingVisitsPresentComponentsOnly)
{
    Outer outer;
    WalkRecorder plain;
    EXPECT_TRUE(outer.accept(plain));
    EXPECT_EQ(plain.calls, (std::vector<std::string>{"roots", "root 0", "root 2", "after"}));

    outer.includeOptionalField(1, Outer::items);
    outer.includeOptionalField(2 + 3, Outer::e3);
    outer.includeOptionalField(2 + 0, Outer::e0);
    WalkRecorder full;
    EXPECT_TRUE(outer.accept(full));
    EXPECT_EQ(full.calls, (std::vector<std::string>{"roots", "root 0", "root 2", "root 3", "extensions", "addition 4",
                                                    "addition 7", "after"}));

    // A map with bits but none set still announces the additions.
    outer.removeOptionalField(2 + 3);
    outer.removeOptionalField(2 + 0);
    WalkRecorder empty_map;
    EXPECT_TRUE(outer.accept(empty_map));
    EXPECT_EQ(empty_map.calls, (std::vector<std::string>{"roots", "root 0", "root 2", "root 3", "extensions", "after"}));

    WalkRecorder refusing;
    refusing.refuseExtensions = true;
    EXPECT_FALSE(outer.accept(refusing));
    EXPECT_EQ(refusing.calls.back(), "extensions");
}

TEST(Asn1SequenceWalk, EncodingRefusesAPresentComponentThatDoesNotExist)
{
    Outer outer;
    outer.optionalMap().set(1);  // as a decoder might leave it
    WalkRecorder recorder;
    EXPECT_FALSE(outer.accept(recorder));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"roots", "root 0", "root 2"}));

    Outer addition;
    addition.extensionMap().resize(6);
    addition.extensionMap().set(5);
    WalkRecorder second;
    EXPECT_FALSE(addition.accept(second));
    EXPECT_EQ(second.calls.back(), "extensions");
}

// Plays a script of hook results and records the decoding walk.
class ScriptedDecoder : public ASN1::Visitor {
public:
    int roots = Continue;
    int rootStep = Continue;
    int extensions = Continue;
    int additionStep = Continue;
    int stopAtRoot = -1;  // the root index that answers rootStep; others continue
    bool unknown = true;
    std::vector<std::string> calls;

protected:
    bool do_visit(ASN1::Null&) override { return true; }
    bool do_visit(ASN1::BOOLEAN&) override { return true; }
    bool do_visit(ASN1::INTEGER&) override { return true; }
    bool do_visit(ASN1::ENUMERATED&) override { return true; }
    bool do_visit(ASN1::OBJECT_IDENTIFIER&) override { return true; }
    bool do_visit(ASN1::OCTET_STRING&) override { return true; }
    bool do_visit(ASN1::BIT_STRING&) override { return true; }
    bool do_visit(ASN1::AbstractString&) override { return true; }
    bool do_visit(ASN1::BMPString&) override { return true; }
    bool do_visit(ASN1::CHOICE&) override { return true; }
    bool do_visit(ASN1::SEQUENCE_OF_Base&) override { return true; }
    bool do_visit(ASN1::OpenData&) override { return true; }
    bool do_revisit(ASN1::OpenData&) override { return true; }
    bool do_visit(ASN1::TypeConstrainedOpenData&) override { return true; }
    bool do_visit(ASN1::GeneralizedTime&) override { return true; }

    int preVisitExtensionRoots(ASN1::SEQUENCE&) override
    {
        calls.push_back("roots");
        return roots;
    }
    int visitExtensionRoot(ASN1::SEQUENCE&, int index, int id) override
    {
        calls.push_back("root " + std::to_string(index) + " id " + std::to_string(id));
        return index == stopAtRoot ? rootStep : Continue;
    }
    int preVisitExtensions(ASN1::SEQUENCE&) override
    {
        calls.push_back("extensions");
        return extensions;
    }
    int visitKnownExtension(ASN1::SEQUENCE&, int index, int id) override
    {
        calls.push_back("addition " + std::to_string(index) + " id " + std::to_string(id));
        return additionStep;
    }
    bool visitUnknownExtensions(ASN1::SEQUENCE&) override
    {
        calls.push_back("unknown");
        return unknown;
    }
};

TEST(Asn1SequenceWalk, DecodingPassesOptionalAndExtensionIds)
{
    Outer outer;
    ScriptedDecoder decoder;
    EXPECT_TRUE(outer.accept(decoder));
    EXPECT_EQ(decoder.calls,
              (std::vector<std::string>{"roots", "root 0 id -1", "root 1 id 0", "root 2 id -1", "root 3 id 1", "extensions",
                                        "addition 4 id 2", "addition 5 id 3", "addition 6 id 4", "addition 7 id 5",
                                        "addition 8 id 6", "addition 9 id 7", "unknown"}));
    decoder.calls.clear();
    decoder.unknown = false;
    EXPECT_FALSE(outer.accept(decoder));
    EXPECT_EQ(decoder.calls.back(), "unknown");
}

TEST(Asn1SequenceWalk, DecodingStopsWhereTheHooksSay)
{
    Outer outer;
    ScriptedDecoder rootsOnly;
    rootsOnly.roots = ASN1::Visitor::RootsOnly;
    EXPECT_TRUE(outer.accept(rootsOnly));
    EXPECT_EQ(rootsOnly.calls.back(), "root 3 id 1");

    ScriptedDecoder finished;
    finished.roots = ASN1::Visitor::Finished;
    EXPECT_TRUE(outer.accept(finished));
    EXPECT_EQ(finished.calls.size(), 1u);

    ScriptedDecoder failingRoot;
    failingRoot.stopAtRoot = 1;
    failingRoot.rootStep = ASN1::Visitor::Fail;
    EXPECT_FALSE(outer.accept(failingRoot));
    EXPECT_EQ(failingRoot.calls.back(), "root 1 id 0");

    ScriptedDecoder endedInRoot;
    endedInRoot.stopAtRoot = 2;
    endedInRoot.rootStep = ASN1::Visitor::Finished;
    EXPECT_TRUE(outer.accept(endedInRoot));
    EXPECT_EQ(endedInRoot.calls.back(), "root 2 id -1");

    ScriptedDecoder noExtensions;
    noExtensions.extensions = ASN1::Visitor::RootsOnly;
    EXPECT_FALSE(outer.accept(noExtensions));
    EXPECT_EQ(noExtensions.calls.back(), "extensions");

    ScriptedDecoder additionDone;
    additionDone.additionStep = ASN1::Visitor::Finished;
    EXPECT_TRUE(outer.accept(additionDone));
    EXPECT_EQ(additionDone.calls.back(), "addition 4 id 2");
}

}  // namespace
