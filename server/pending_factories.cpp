#include "server/pending_factories.h"

namespace {

// The trunk factories, built before main runs: one per E1 trunk and one per BRI trunk.
PendingFactory trunk0("Trunks"), trunk1("Trunks"), trunk2("Trunks"), trunk3("Trunks");
PendingFactory trunk_bri0("TrunksBRI"), trunk_bri1("TrunksBRI"), trunk_bri2("TrunksBRI"), trunk_bri3("TrunksBRI"),
    trunk_bri4("TrunksBRI"), trunk_bri5("TrunksBRI"), trunk_bri6("TrunksBRI"), trunk_bri7("TrunksBRI");

}  // namespace

PendingFactory::PendingFactory(const char* name) : name_(name) {}

const char* PendingFactory::GetName() const { return name_; }

void PendingFactory::Query(LGCP::Resources&) {}
