#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using TestModule::Dscp;

TEST(Asn1Enumerated, NamesFollowTheNumberedTable)
{
    Dscp dscp;
    EXPECT_EQ(dscp.getValue(), 0);
    EXPECT_EQ(dscp.getName(), "cs0");
    const std::pair<int, const char*> named[] = {{1, "le"}, {8, "cs1"}, {10, "af11"}, {46, "ef"}, {56, "cs7"}, {23, "count"}};
    for (const auto& [value, name] : named) {
        dscp.setValue(value);
        EXPECT_EQ(dscp.getName(), name) << value;
    }
    // Without a name (or outside 0..maxEnumValue, even when an entry carries it) the caller
    // prints the number.
    for (int unnamed : {2, 9, 55, -1, 60, 61}) {
        dscp.setValue(unnamed);
        EXPECT_TRUE(dscp.getName().empty()) << unnamed;
    }
    EXPECT_EQ(dscp.getMaximum(), 56);
    EXPECT_TRUE(dscp.extendable());
}

TEST(Asn1Enumerated, NamesRoundTrip)
{
    Dscp dscp;
    for (const char* name : {"cs0", "le", "cs1", "af11", "ef", "cs7", "count"}) {
        ASSERT_TRUE(dscp.setFromName(name)) << name;
        EXPECT_EQ(dscp.getName(), name);
    }
    // Two names for one value: both read, the first in table order prints.
    ASSERT_TRUE(dscp.setFromName("alias"));
    EXPECT_EQ(dscp.getValue(), 8);
    EXPECT_EQ(dscp.getName(), "cs1");
    // A known name above the root maximum takes its value but reports it.
    EXPECT_FALSE(dscp.setFromName("beyond"));
    EXPECT_EQ(dscp.getValue(), 60);
    // Unknown names, and the "=N" spelling itself, change nothing.
    dscp.setValue(Dscp::ef);
    for (const char* unknown : {"", "e", "ef=46", "cs7 ", "EF"})
        EXPECT_FALSE(dscp.setFromName(unknown)) << unknown;
    EXPECT_EQ(dscp.getValue(), 46);
}

TEST(Asn1Enumerated, AssignmentCopiesTheValueOnly)
{
    Dscp a, b;
    a.setValue(Dscp::cs7);
    b = a;
    EXPECT_EQ(b.getValue(), 56);
    EXPECT_EQ(b.info(), &Dscp::theInfo);
    EXPECT_GT(a.compare(Dscp()), 0);
    std::unique_ptr<ASN1::AbstractData> copy(a.clone());
    EXPECT_NE(dynamic_cast<Dscp*>(copy.get()), nullptr);
    EXPECT_EQ(*copy, a);
}

}  // namespace
