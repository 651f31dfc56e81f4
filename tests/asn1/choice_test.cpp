#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using TestModule::Inner;
using TestModule::Pick;

TEST(Asn1Choice, CreateSelectionBuildsTheAlternativeOrMarksItUnknown)
{
    Pick pick;
    EXPECT_EQ(pick.currentSelection(), -1);
    EXPECT_EQ(pick.getSelection(), nullptr);

    ASSERT_TRUE(pick.createSelection(Pick::inner));
    EXPECT_EQ(pick.currentSelection(), Pick::inner);
    ASSERT_NE(pick.get_inner(), nullptr);
    EXPECT_FALSE(pick.get_inner()->get_flag().getValue());

    ASSERT_TRUE(pick.createSelection(Pick::octets));  // a known addition
    EXPECT_NE(pick.getSelectionAs<ASN1::OCTET_STRING>(Pick::octets), nullptr);

    for (int unknown : {4, 63, -1, -7}) {
        EXPECT_FALSE(pick.createSelection(unknown)) << unknown;
        EXPECT_EQ(pick.currentSelection(), -2);
        EXPECT_EQ(pick.getSelection(), nullptr);
    }
}

TEST(Asn1Choice, TypedAccessReadsOnlyTheSelectedAlternativeOfItsClass)
{
    Pick pick;
    EXPECT_EQ(pick.get_inner(), nullptr);
    pick.createSelection(Pick::number);
    EXPECT_EQ(pick.get_inner(), nullptr);
    EXPECT_EQ(pick.getSelectionAs<ASN1::INTEGER>(Pick::inner), nullptr);
    EXPECT_NE(pick.getSelectionAs<ASN1::INTEGER>(Pick::number), nullptr);

    // A value of another class under the right index is not read as that alternative either.
    pick.setSelection(Pick::inner, new ASN1::INTEGER(3));
    EXPECT_EQ(pick.get_inner(), nullptr);
    EXPECT_NE(pick.getSelectionAs<ASN1::INTEGER>(Pick::inner), nullptr);

    const Pick& view = pick;
    EXPECT_EQ(view.getSelectionAs<ASN1::INTEGER>(Pick::number), nullptr);
}

TEST(Asn1Choice, SetSelectionOwnsTheValueAndRefusesUnknownIndexes)
{
    Pick pick;
    auto* number = new ASN1::INTEGER(9);
    EXPECT_EQ(pick.setSelection(Pick::number, number), number);
    EXPECT_EQ(pick.getSelection(), number);
    // Unknown indexes take (and delete) the value, leaving nothing to read past the tables.
    EXPECT_EQ(pick.setSelection(4, new ASN1::Null), nullptr);
    EXPECT_EQ(pick.currentSelection(), -2);
    EXPECT_EQ(pick.getSelection(), nullptr);
    EXPECT_EQ(pick.setSelection(-1, new ASN1::Null), nullptr);
    EXPECT_EQ(pick.currentSelection(), -1);

    const Pick built(&Pick::theInfo, Pick::number, new ASN1::INTEGER(4));
    EXPECT_EQ(built.getSelectionAs<ASN1::INTEGER>(Pick::number)->getValue(), 4);
    const Pick refused(&Pick::theInfo, 17, new ASN1::INTEGER(4));
    EXPECT_EQ(refused.currentSelection(), -2);
}

TEST(Asn1Choice, CopiesDeeplyAndComparesSelectionFirst)
{
    Inner inner;
    inner.set_flag(true);
    Pick original(&Pick::theInfo, Pick::inner, inner.clone());
    Pick copy(original);
    ASSERT_NE(copy.get_inner(), nullptr);
    EXPECT_NE(copy.get_inner(), original.get_inner());
    EXPECT_EQ(copy.compare(original), 0);

    Pick assigned;
    assigned.createSelection(Pick::number);
    assigned = original;
    EXPECT_EQ(assigned.compare(original), 0);
    EXPECT_NE(assigned.get_inner(), original.get_inner());

    copy.setSelection(Pick::inner, new Inner);
    EXPECT_GT(original.compare(copy), 0);
    copy.createSelection(Pick::nothing);
    EXPECT_EQ(original.compare(copy), Pick::inner - Pick::nothing);
    EXPECT_EQ(Pick().compare(Pick()), 0);

    std::unique_ptr<ASN1::AbstractData> clone(original.clone());
    auto* cloned = dynamic_cast<Pick*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(cloned->get_inner(), nullptr);

    Pick left(&Pick::theInfo, Pick::number, new ASN1::INTEGER(1));
    Pick right;
    left.swap(right);
    EXPECT_EQ(left.currentSelection(), -1);
    EXPECT_EQ(right.getSelectionAs<ASN1::INTEGER>(Pick::number)->getValue(), 1);
}

}  // namespace
