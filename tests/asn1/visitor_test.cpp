#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Names the slot each value reaches.
class SlotRecorder : public ASN1::Visitor {
public:
    std::string slot;

protected:
    bool do_visit(ASN1::Null&) override { return hit("Null"); }
    bool do_visit(ASN1::BOOLEAN&) override { return hit("BOOLEAN"); }
    bool do_visit(ASN1::INTEGER&) override { return hit("INTEGER"); }
    bool do_visit(ASN1::ENUMERATED&) override { return hit("ENUMERATED"); }
    bool do_visit(ASN1::OBJECT_IDENTIFIER&) override { return hit("OBJECT_IDENTIFIER"); }
    bool do_visit(ASN1::OCTET_STRING&) override { return hit("OCTET_STRING"); }
    bool do_visit(ASN1::BIT_STRING&) override { return hit("BIT_STRING"); }
    bool do_visit(ASN1::AbstractString&) override { return hit("AbstractString"); }
    bool do_visit(ASN1::BMPString&) override { return hit("BMPString"); }
    bool do_visit(ASN1::CHOICE&) override { return hit("CHOICE"); }
    bool do_visit(ASN1::SEQUENCE_OF_Base&) override { return hit("SEQUENCE_OF"); }
    bool do_visit(ASN1::OpenData&) override { return hit("OpenData"); }
    bool do_revisit(ASN1::OpenData&) override { return hit("revisit"); }
    bool do_visit(ASN1::TypeConstrainedOpenData&) override { return hit("TypeConstrainedOpenData"); }
    bool do_visit(ASN1::GeneralizedTime&) override { return hit("GeneralizedTime"); }

private:
    bool hit(const char* name)
    {
        slot = name;
        return true;
    }
};

class ConstSlotRecorder : public ASN1::ConstVisitor {
public:
    std::string slot;

protected:
    bool do_visit(const ASN1::AbstractData&) override { return hit("generic"); }
    bool do_visit(const ASN1::INTEGER&) override { return hit("INTEGER"); }
    bool do_visit(const ASN1::BIT_STRING&) override { return hit("BIT_STRING"); }
    bool do_visit(const ASN1::OCTET_STRING&) override { return hit("OCTET_STRING"); }
    bool do_visit(const ASN1::OpenData&) override { return hit("OpenData"); }

private:
    bool hit(const char* name)
    {
        slot = name;
        return true;
    }
};

struct Case {
    std::unique_ptr<ASN1::AbstractData> value;
    const char* slot;
    const char* constSlot;
};

std::vector<Case> everyKind()
{
    std::vector<Case> cases;
    auto add = [&](ASN1::AbstractData* value, const char* slot, const char* constSlot) {
        cases.push_back({std::unique_ptr<ASN1::AbstractData>(value), slot, constSlot});
    };
    add(new ASN1::Null, "Null", "generic");
    add(new ASN1::BOOLEAN, "BOOLEAN", "generic");
    add(new ASN1::INTEGER, "INTEGER", "INTEGER");
    add(new TestModule::Id, "INTEGER", "INTEGER");
    add(new ASN1::IntegerWithNamedNumber(&TestModule::Level_info), "INTEGER", "INTEGER");
    add(new TestModule::Dscp, "ENUMERATED", "generic");
    add(new ASN1::OBJECT_IDENTIFIER, "OBJECT_IDENTIFIER", "generic");
    add(new ASN1::OCTET_STRING, "OCTET_STRING", "OCTET_STRING");
    add(new ASN1::BIT_STRING, "BIT_STRING", "BIT_STRING");
    add(new ASN1::IA5String, "AbstractString", "generic");
    add(new ASN1::NumericString, "AbstractString", "generic");
    add(new ASN1::BMPString, "BMPString", "generic");
    add(new TestModule::Pick, "CHOICE", "generic");
    add(new TestModule::InnerList, "SEQUENCE_OF", "generic");
    add(new ASN1::OpenData, "OpenData", "OpenData");
    add(new ASN1::TypeConstrainedOpenData(&TestModule::InnerCarrier_info), "TypeConstrainedOpenData", "OpenData");
    add(new ASN1::GeneralizedTime, "GeneralizedTime", "generic");
    return cases;
}

TEST(Asn1Visitors, EachValueReachesItsSlot)
{
    for (Case& c : everyKind()) {
        SlotRecorder visitor;
        EXPECT_TRUE(c.value->accept(visitor));
        EXPECT_EQ(visitor.slot, c.slot);
        ConstSlotRecorder reader;
        EXPECT_TRUE(static_cast<const ASN1::AbstractData&>(*c.value).accept(reader));
        EXPECT_EQ(reader.slot, c.constSlot) << c.slot;
    }
    ASN1::OpenData open;
    SlotRecorder visitor;
    EXPECT_TRUE(visitor.revisit(open));
    EXPECT_EQ(visitor.slot, "revisit");
}

TEST(Asn1Visitors, AReaderThatOverridesNothingAcceptsEveryValue)
{
    ASN1::ConstVisitor bare;
    for (const Case& c : everyKind())
        EXPECT_TRUE(static_cast<const ASN1::AbstractData&>(*c.value).accept(bare)) << c.slot;
    // A SEQUENCE's components are visited only by a reader that says how.
    const TestModule::Inner inner;
    EXPECT_FALSE(inner.accept(bare));
}

}  // namespace
