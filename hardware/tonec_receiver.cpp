#include "hardware/tonec_receiver.h"

#include "hardware/tonec_receiver_service.h"

namespace Hardware {

namespace {

// The dialling defaults: full-scale tones of 70 ms with pauses of 70 ms.
constexpr int default_amplitude = 16384;
constexpr unsigned default_step_ms = 70;

// The presence ids of the dial list's options.
using DialOption = LGCP::TranslateDtmfParams::Optional;

// Ring-back: 425 Hz at level 2048, 1000 ms on and 3000 ms off.
constexpr int ringback_frequency = 425;
constexpr int ringback_level = 2048;
constexpr unsigned ringback_on_ms = 1000;
constexpr unsigned ringback_off_ms = 3000;

int option(const LGCP::TranslateDtmfParams& list, unsigned id, const ASN1::INTEGER& value, int fallback)
{
    return list.hasOptionalField(id) ? value.getValue() : fallback;
}

// A negative duration from the controller would wrap to weeks; it is taken as no wait.
unsigned duration(int ms) { return ms < 0 ? 0 : static_cast<unsigned>(ms); }

}  // namespace

Containers::CyclicList receivers;

TonecReceiver::TonecReceiver() { receivers.push_back(*this); }

TonecReceiver::~TonecReceiver() = default;

void TonecReceiver::tone_gen_complete() {}

TonecReceiverService& TonecReceiver::service() { return *TonecReceiverService::instance(); }

void TonecReceiver::CleanBeforeDestroy()
{
    if (dtmf_on)
        disableDTMF();
    if (iva_on)
        enableIVA(false);
    if (reject_on)
        enableDTMFReject(false);
    // A tone or ring-back still playing would go on sounding on the time slot after its owner.
    if (step_.get() || generator_on)
        disableToneGenerator(true);
}

bool TonecReceiver::configureDTMF(const LGCP::DTMFParams& params) { return service().configureDTMF(timeslot(), params); }

bool TonecReceiver::enableDTMF(bool on)
{
    bool done = service().enableDTMF(*this, on);
    if (done)
        dtmf_on = on;
    return done;
}

bool TonecReceiver::disableDTMF() { return enableDTMF(false); }

bool TonecReceiver::echoCancel(bool on) { return service().echoCancel(timeslot(), on); }

bool TonecReceiver::enableDTMFReject(bool on)
{
    bool done = service().enableDTMFReject(timeslot(), on);
    if (done)
        reject_on = on;
    return done;
}

bool TonecReceiver::enableToneGenerator(int freq1, int freq2, int level1, int level2)
{
    generator_on = freq1 || freq2 || level1 || level2;
    return service().enableToneGenerator(timeslot(), freq1, freq2, level1, level2);
}

bool TonecReceiver::enableSilence() { return enableToneGenerator(1000, 1000, 0, 0); }

bool TonecReceiver::disableToneGenerator(bool force)
{
    if (!force && !dialing)
        return false;
    step_.reset();
    dialing = false;
    return enableToneGenerator(0, 0, 0, 0);
}

bool TonecReceiver::enableIVA(bool on)
{
    bool done = service().enableIVA(*this, on);
    if (done)
        iva_on = on;
    return done;
}

bool TonecReceiver::configureIVA(const LGCP::IVAParams& params) { return service().configureIVA(*this, params); }

void TonecReceiver::translateDTMF(const LGCP::TranslateDtmfParams& params)
{
    dial_list_ = params;
    if (dialing)
        return;
    dialing = true;
    pause_end();
}

void TonecReceiver::translateSelcal(const TERM::SelcalCommand& command) { service().translateSelcal(*this, command); }

void TonecReceiver::activateAudibleCall() { ringback_tone(); }

void TonecReceiver::cancelAudibleCall()
{
    if (!dialing)
        disableToneGenerator(true);
}

void TonecReceiver::pause_end()
{
    auto& digits = dial_list_.get_digits();
    if (digits.empty()) {
        disableToneGenerator(true);
        tone_gen_complete();
        return;
    }
    const LGCP::DualTone& digit = digits[0];
    const LGCP::TranslateDtmfParams& list = dial_list_;
    enableToneGenerator(digit.get_freq1().getValue(), digit.get_freq2().getValue(),
                        option(list, DialOption::amp1, list.get_amp1(), default_amplitude),
                        option(list, DialOption::amp2, list.get_amp2(), default_amplitude));
    digits.erase(digits.begin());
    step_.set(duration(option(list, DialOption::toneDuration, list.get_toneDuration(), default_step_ms)),
              &TonecReceiver::tone_end, this);
}

void TonecReceiver::tone_end()
{
    enableSilence();
    const LGCP::TranslateDtmfParams& list = dial_list_;
    step_.set(duration(option(list, DialOption::pauseDuration, list.get_pauseDuration(), default_step_ms)),
              &TonecReceiver::pause_end, this);
}

void TonecReceiver::ringback_tone()
{
    enableToneGenerator(ringback_frequency, 0, ringback_level, ringback_level);
    step_.set(ringback_on_ms, &TonecReceiver::ringback_silence, this);
}

void TonecReceiver::ringback_silence()
{
    enableSilence();
    step_.set(ringback_off_ms, &TonecReceiver::ringback_tone, this);
}

}  // namespace Hardware
