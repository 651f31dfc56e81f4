// The data devices "/dev/mdm0" to "/dev/mdm7" of the DSP modems: the program that carries a call
// (pppd, a fax program) opens the device of its modem and exchanges the call's data there, which
// the journal shows as writes and a test sends with "push". The device does not hold the modem:
// the control open that allocated it does (see modem_control.cpp).

#include "emulator/device_model.h"
#include "emulator/modem_pool.h"

#include <string>
#include <tuple>
#include <utility>

namespace Emulator {

namespace {

template <size_t Index>
class ModemData : public DeviceModel {
public:
    ModemData() : DeviceModel("/dev/mdm" + std::to_string(Index)) {}
};

template <class Indices>
struct Registrations;
template <size_t... Index>
struct Registrations<std::index_sequence<Index...>> {
    std::tuple<DeviceModel::Registration<ModemData<Index>>...> each;
};

const Registrations<std::make_index_sequence<ModemPool::capacity>> registrations;

}  // namespace

}  // namespace Emulator
