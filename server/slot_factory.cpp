#include "server/slot_factory.h"

SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next(firstFactory) { firstFactory = this; }
