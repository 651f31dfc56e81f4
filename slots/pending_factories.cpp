#include "slots/pending_factories.h"

PendingFactory::PendingFactory(const char* name) : name_(name) {}

const char* PendingFactory::GetName() const { return name_; }

Slot* PendingFactory::INewSlot(const LGCP::CreateParams&) { return nullptr; }

void PendingFactory::Query(LGCP::Resources&) {}
