#include "test_module.h"

namespace TestModule {

using ASN1::detail::Allocator;

const char* const Dscp_enum_names__[] = {"cs0",    "le",     "cs1=8",     "alias=8",  "af11=10",
                                         "ef=46",  "cs7=56", "count=23",  "beyond=60"};
const Dscp::InfoType Dscp::theInfo = {
    Allocator<Dscp>::info(0x0a), true, 56, Dscp_enum_names__, std::size(Dscp_enum_names__)};

const ASN1::AbstractData::InfoType* const Inner::fieldInfos[] = {&ASN1::BOOLEAN::theInfo, &ASN1::IA5String::theInfo};
const int Inner::fieldIds[] = {-1, 0};
const char* const Inner::fieldNames[] = {"flag", "label"};
const Inner::InfoType Inner::theInfo = {
    Allocator<Inner>::info(0x10), false, fieldInfos, fieldIds, 2, 0, 1, nullptr, nullptr, fieldNames};

const ASN1::AbstractData::InfoType* const Pick::selectionInfos[] = {
    &ASN1::INTEGER::theInfo, &Inner::theInfo, &ASN1::Null::theInfo, &ASN1::OCTET_STRING::theInfo};
const char* const Pick::selectionNames[] = {"number", "inner", "nothing", "octets"};
const Pick::InfoType Pick::theInfo = {Allocator<Pick>::info(0), true, selectionInfos, 3, 4, nullptr, selectionNames};

const ASN1::AbstractData::InfoType* const Outer::fieldInfos[] = {
    &Id::theInfo,          &Dscp::theInfo,        &Pick::theInfo,      &InnerList::theInfo,
    &ASN1::INTEGER::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::IA5String::theInfo, &ASN1::Null::theInfo,
    &ASN1::OCTET_STRING::theInfo, &Inner::theInfo};
const int Outer::fieldIds[] = {-1, 0, -1, 1, 0, 0, 0, 0, 0, 0};
const char* const Outer::fieldNames[] = {"id", "colour", "pick", "items", "e0", "e1", "e2", "e3", "e4", "e5"};
const Outer::InfoType Outer::theInfo = {
    Allocator<Outer>::info(0x10), true, fieldInfos, fieldIds, 4, 6, 2, nullptr, nullptr, fieldNames};

namespace {
const ASN1::IntegerWithNamedNumber::NameEntry levelNames[] = {{-5, "low"}, {0, "off"}, {7, "high"}, {100, "max"}};
}

const ASN1::IntegerWithNamedNumber::InfoType Level_info = {
    {Allocator<ASN1::IntegerWithNamedNumber>::info(2), ASN1::Unconstrained, 0, 0xffffffffu},
    levelNames,
    std::size(levelNames)};

const ASN1::TypeConstrainedOpenData::InfoType InnerCarrier_info = {
    Allocator<ASN1::TypeConstrainedOpenData>::info(0), &Inner::theInfo};

}  // namespace TestModule
