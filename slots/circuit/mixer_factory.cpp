#include "slots/circuit/mixer_factory.h"

#include "slots/circuit/mixer.h"
#include "slots/circuit/mixer_ctl.h"

#include "board/device_names.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_quoted.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace Mixer {

namespace {

// The voice driver's version: a 20-byte record read back.
constexpr uint32_t voice_version_request = 0x4014560A;

// The DSP costs reported with every unit.
constexpr int dpu_per_mixer = 770;
constexpr int dpu_per_ec = 17;
constexpr int dpu_per_lms = 24;

// The smaller of the two, a negative count standing for none yet.
int fold(int known, int answered) { return known < 0 ? answered : std::min(known, answered); }

}  // namespace

MixerFactory* MixerFactory::instance()
{
    static MixerFactory factory;
    return &factory;
}

MixerFactory::~MixerFactory()
{
    for (Mixer* mixer : mixers)
        delete mixer;
}

Slot* MixerFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (const LGCP::MixerOutParams* output = params.get_mixerOut()) {
        Mixer* mixer = findMixer(output->get_unit().getValue());
        return mixer ? mixer->New(*output) : nullptr;
    }
    if (const LGCP::MixerInParams* input = params.get_mixerIn()) {
        Mixer* mixer = findMixer(input->get_unit().getValue());
        return mixer ? mixer->New(*input) : nullptr;
    }
    return nullptr;
}

Mixer* MixerFactory::findMixer(int unit) const
{
    for (Mixer* mixer : mixers)
        if (mixer->GetUnit() == unit && !mixer->vanished)
            return mixer;
    return nullptr;
}

void MixerFactory::Query(LGCP::Resources& resources)
{
    RefreshResources();
    auto& list = resources.get_mixer();
    list.clear();
    for (const Mixer* mixer : mixers) {
        LGCP::MixerResources_subtype entry;
        entry.set_unit(mixer->GetUnit());
        entry.set_tdm_inputs(std::max(tdmChannels, 0));
        entry.set_tdm_outputs(std::max(tdmChannels, 0));
        entry.set_mixer_inputs(std::max(mixerInputs, 0));
        entry.set_dpu_per_mixer(dpu_per_mixer);
        entry.set_dpu_per_ec(dpu_per_ec);
        entry.set_dpu_per_lms(dpu_per_lms);
        list.push_back(entry);
    }
}

void MixerFactory::RefreshResources()
{
    for (Mixer* mixer : mixers)
        mixer->vanished = true;
    mixerInputs = -1;
    tdmChannels = -1;
    mix_enum step;
    // Counting the answers, not the mixers, lets a unit that replaced a vanished one in, and stops
    // a driver that kept answering known units.
    for (size_t answered = 0; answered < max_units; ++answered) {
        if (mixer_ctl(MIX_ENUM, step) < 0)
            break;
        mixerInputs = fold(mixerInputs, step.mixer_inputs);
        tdmChannels = fold(tdmChannels, step.tdm_channels);
        auto known = std::find_if(mixers.begin(), mixers.end(),
                                  [&step](const Mixer* mixer) { return mixer->GetUnit() == step.unit; });
        if (known != mixers.end()) {
            (*known)->vanished = false;
        } else {
            mixers.push_back(new Mixer(step.unit));
            mixers.back()->Reset();
        }
    }
    for (auto mixer = mixers.begin(); mixer != mixers.end();) {
        if (!(*mixer)->vanished) {
            ++mixer;
            continue;
        }
        Mixer* gone = *mixer;
        gone->Clear();
        mixer = mixers.erase(mixer);
        gone->CheckForDestroy();
    }
    ReadDriverVersion();
}

void MixerFactory::ReadDriverVersion()
{
    Fd fd = Device::open(GetVoiceDevName(), O_RDONLY);
    if (!fd) {
        std::cerr << "device " << ext::quoted(GetVoiceDevName()) << " open fail: " << std::strerror(errno)
                  << std::endl;
        return;
    }
    std::array<uint8_t, 20> record{};
    drvVersionValid = Device::request_inout(fd, voice_version_request, record.data(), record.size()) >= 0;
    for (size_t word = 0; word < drvVersion.size(); ++word)
        drvVersion[word] = BigEndian::get_u32(record.data(), 4 * word);
    fd.close();
}

}  // namespace Mixer
