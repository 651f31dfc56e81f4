#pragma once

// The factory of the mixer slots ("Mixer"): mixer outputs (`mixerOut`) and mixer inputs
// (`mixerIn`) on the units of the board's summing mixers. It learns the units from the driver
// each time the hardware resources are reported, and only then: before the first report no unit
// is known and every mixer create fails.

#include "server/slot_factory.h"

#include "asn1/modules/LGCP.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Mixer {

class Mixer;

class MixerFactory : public SlotFactory {
public:
    // At most this many units are known.
    static constexpr size_t max_units = 100;

    static MixerFactory* instance();

    const char* GetName() const override { return "Mixer"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // Learns the units anew and reports one entry per unit.
    void Query(LGCP::Resources& resources) override;

    // The listed mixer of the unit, or null.
    Mixer* findMixer(int unit) const;
    // The channel count of the smallest unit, the limit of every unit; -1 before any unit.
    int TdmChannels() const { return tdmChannels; }

private:
    MixerFactory() = default;
    // At the end of the process: the listed mixers go, their slots having gone before.
    ~MixerFactory() override;

    void RefreshResources();
    // Keeps the voice driver's version record.
    void ReadDriverVersion();

    bool drvVersionValid = false;
    std::array<uint32_t, 5> drvVersion{};
    int mixerInputs = -1;
    int tdmChannels = -1;
    std::vector<Mixer*> mixers;  // in the order of discovery
};

}  // namespace Mixer
