#include "slots/circuit/voice_factory.h"

#include "slots/circuit/play_slot_file.h"
#include "slots/circuit/play_slot_network.h"
#include "slots/circuit/record_slot.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace {

constexpr const char* device = "/dev/mcc/ctl";
constexpr uint32_t transparent = 2;
constexpr uint32_t packet_size = 1024;
// Receive and transmit thresholds: a player only transmits, a recorder only receives.
constexpr uint32_t threshold = 5;

}  // namespace

VoiceFactory* VoiceFactory::instance()
{
    static VoiceFactory factory;
    return &factory;
}

void VoiceFactory::PutHeader(std::ostream& out) const { out << "voice/mcc[" << number << "]: "; }

Slot* VoiceFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::VoiceParams* voice = params.get_voice();
    if (!voice)
        return nullptr;
    if (const LGCP::PlayerParams* player = voice->get_player())
        return CreatePlay(*player);
    if (const TERM::HostAddress* record = voice->get_record())
        return CreateRecord(dhost2str(*record));
    return nullptr;
}

Fd VoiceFactory::OpenChannel(bool player, int& timeslot) const
{
    Fd fd = Device::open(device, (player ? O_WRONLY : O_RDONLY) | O_NONBLOCK);
    if (!fd) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to open /dev/mcc/ctl device for "
                  << (player ? "writing: " : "reading: ") << std::strerror(error) << std::endl;
        return fd;
    }
    std::array<uint8_t, 20> record{};
    BigEndian::put_u32(record.data(), 0, transparent);
    BigEndian::put_u32(record.data(), 4, packet_size);
    BigEndian::put_u32(record.data(), 12, player ? 0 : threshold);
    BigEndian::put_u32(record.data(), 16, player ? threshold : 0);
    if (Device::request_in(fd, VoiceSlot::allocate_code, record) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "MCC_ALLOCATE fail: " << std::strerror(error) << std::endl;
        fd.close();
        return fd;
    }
    timeslot = Device::request(fd, VoiceSlot::timeslot_code);
    if (timeslot < 0) {
        std::cerr << ext::header(this) << "MCC_TIMESLOT request failed." << std::endl;
        fd.close();
    }
    return fd;
}

Slot* VoiceFactory::CreatePlay(const LGCP::PlayerParams& params)
{
    int timeslot;
    Fd channel = OpenChannel(true, timeslot);
    if (!channel)
        return nullptr;
    PlaySlotGeneric* slot = nullptr;
    if (const LGCP::PlayerParams_network* network = params.get_network())
        slot = new PlaySlotNetwork(channel, *network);
    else if (const LGCP::PlayerParams_file* file = params.get_file())
        slot = new PlaySlotFile(channel, *file);
    if (slot)
        players.push_back(slot);
    channel.close();
    return slot;
}

Slot* VoiceFactory::CreateRecord(const std::string& host)
{
    int timeslot;
    Fd channel = OpenChannel(false, timeslot);
    if (!channel)
        return nullptr;
    RecordSlot* slot = new RecordSlot(host, timeslot, channel);
    recorders.push_back(slot);
    channel.close();
    return slot;
}

void VoiceFactory::OnDestroy(RecordSlot* slot) { recorders.remove(slot); }

void VoiceFactory::OnDestroy(PlaySlotGeneric* slot) { players.remove(slot); }
