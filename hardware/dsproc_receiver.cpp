#include "hardware/dsproc_receiver.h"

#include "hardware/dsproc_receiver_service.h"

namespace Hardware {

Containers::CyclicList dsproc_receivers;

DSProcReceiver::DSProcReceiver() { dsproc_receivers.push_back(*this); }

DSProcReceiver::~DSProcReceiver() = default;

DSProcReceiverService& DSProcReceiver::service() { return *DSProcReceiverService::instance(); }

void DSProcReceiver::CleanBeforeDestroy()
{
    if (vad_.state == 1)
        enableVAD(false);
    if (bss_.state == 1)
        disableBSS();
    if (ng_.state == 1)
        disableNG();
    if (selcal_sh_.state == 1)
        disableSelcalSh();
    if (delays_set)
        configureDelays(0, 0, 0);
    if (gain_set)
        configureRxGain(0);
    disableToneAll();
}

bool DSProcReceiver::configureVAD(const LGCP::VADParams& params) { return service().configureVAD(timeslot(), params); }

bool DSProcReceiver::enableVAD(bool on) { return service().enableVAD(*this, on); }

bool DSProcReceiver::disableVAD() { return enableVAD(false); }

bool DSProcReceiver::enableBSS(bool on) { return service().enableBSS(*this, on); }

bool DSProcReceiver::disableBSS() { return enableBSS(false); }

bool DSProcReceiver::enableNG(bool on) { return service().enableNG(*this, on); }

bool DSProcReceiver::disableNG() { return enableNG(false); }

bool DSProcReceiver::enableSelcalSh(bool on) { return service().enableSelcalSh(*this, on); }

bool DSProcReceiver::disableSelcalSh() { return enableSelcalSh(false); }

bool DSProcReceiver::configureSD() { return service().configureSD(timeslot()); }

bool DSProcReceiver::enableSD(bool on) { return service().enableSD(*this, on); }

bool DSProcReceiver::disableSD() { return enableSD(false); }

bool DSProcReceiver::enableMute(bool rx, bool tx) { return service().enableMute(*this, rx, tx); }

bool DSProcReceiver::disableMute() { return enableMute(false, false); }

// The state follows the request whatever the driver answered, so that clean-up undoes it.
bool DSProcReceiver::configureDelays(unsigned rx, unsigned tx, unsigned selcal)
{
    const bool done = service().configureDelays(timeslot(), rx, tx, selcal);
    delays_set = rx != 0 || tx != 0 || selcal != 0;
    return done;
}

bool DSProcReceiver::configureRxGain(int gain)
{
    const bool done = service().configureRxGain(timeslot(), gain);
    gain_set = gain != 0;
    return done;
}

bool DSProcReceiver::configureToneFilter(unsigned freq, unsigned enable, int duration_ms, int level_dB)
{
    return service().configureToneFilter(timeslot(), freq, enable, duration_ms, level_dB);
}

void DSProcReceiver::disableToneAll() { service().disableToneAll(*this); }

}  // namespace Hardware
