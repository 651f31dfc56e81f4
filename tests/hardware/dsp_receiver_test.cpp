// DSP receivers and their service on the real reactor against the emulated voice processor. The
// service is the process's one, bound to the emulator of the first test that uses it: each test
// runs in a process of its own, as CTest runs them, so event ids count from 1 in every test.

#include "emulated_device_test.h"

#include "hardware/dsproc_receiver.h"
#include "hardware/dsproc_receiver_service.h"
#include "server/trace_ctl.h"

#include <cerrno>
#include <memory>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

constexpr const char* dsp = "/dev/dsp";

class Receiver : public Hardware::DSProcReceiver {
public:
    explicit Receiver(int timeslot) : timeslot_(timeslot) {}

    void dsproc_vad_event(const Hardware::DSProcVADEvent& event) override
    {
        events.push_back("vad " + std::to_string(event.rx) + " " + std::to_string(event.tx));
    }
    void dsproc_bss_event(const ::dsproc_bss_event* event) override
    {
        events.push_back("bss " + std::to_string(event->score));
    }
    void dsproc_sd_event(const Hardware::DSProcSDEvent& event) override
    {
        events.push_back("sd " + std::to_string(event.rx));
    }
    void dsproc_tone_flt_event(const dsproc_tone_event* event) override
    {
        events.push_back("tone " + std::to_string(event->frequency) + " " + std::to_string(event->presence));
    }
    void dsproc_flags_event(const ::dsproc_flags_event* event) override
    {
        events.push_back("flags " + std::to_string(event->flags) + " " + std::to_string(event->mask));
    }
    int dsproc_timeslot() const override { return timeslot_; }

    Strings events;

private:
    int timeslot_;
};

LGCP::VADParams v1()
{
    LGCP::VADParams params;
    params.select_v1();
    return params;
}

LGCP::VADParams v2(int voice, int silence, int energy)
{
    LGCP::VADParams params;
    TERM::VADParamsV2& values = params.select_v2();
    values.set_voice_th_msec(voice);
    values.set_silence_th_msec(silence);
    values.set_e_th_dB(energy);
    return params;
}

class DspReceiver : public boardtest::EmulatedDeviceTest {
protected:
    DspReceiver() : EmulatedDeviceTest(dsp) {}
    ~DspReceiver() override { traces.events = false; }

    // Raises an event that no receiver takes; a second one that `witness` takes shows that the
    // first was read and passed over.
    void raise_ignored(const std::string& words, Receiver& witness)
    {
        size_t seen = witness.events.size();
        board.set(dsp, "event " + words);
        raise(std::to_string(witness.dsproc_timeslot()) + " flags 1 1", [&] { return witness.events.size() > seen; });
        witness.events.pop_back();
    }
};

TEST_F(DspReceiver, VadConfigurationFollowsTheDriversParameterVersion)
{
    Receiver receiver(7);
    EXPECT_FALSE(receiver.configureVAD(v1()));
    EXPECT_TRUE(logged(errors, "DSPROC_CONFIGURE VAD: params not specified for v2:  timeslot=7"));
    EXPECT_EQ(requests(), (Strings{"DSPROC_VERSION argument=0 -> 2"}));

    EXPECT_TRUE(receiver.configureVAD(v2(100, 200, -40)));
    EXPECT_EQ(requests().back(), "DSPROC_CONFIGURE timeslot=7 VAD voice-th-msec=100 silence-th-msec=200 e-th-dB=-40 -> 0");
    EXPECT_TRUE(logged(debug, "DSPROC_CONFIGURE VAD ts=7"));

    board.set(dsp, "version 1");
    board.clear_journal();
    EXPECT_TRUE(receiver.configureVAD(v1()));
    EXPECT_TRUE(receiver.configureVAD(v2(100, 200, -40)));
    EXPECT_EQ(requests(), (Strings{"DSPROC_VERSION argument=0 -> 1", "DSPROC_CONFIGURE timeslot=7 VAD words=3,127,0 -> 0",
                                   "DSPROC_VERSION argument=0 -> 1", "DSPROC_CONFIGURE timeslot=7 VAD words=3,127,0 -> 0"}));
}

TEST_F(DspReceiver, SwitchesIssueOnlyWhatChangesAKnownState)
{
    Receiver receiver(7);
    EXPECT_TRUE(receiver.enableVAD(false));  // not yet known: issued
    EXPECT_TRUE(receiver.enableVAD(false));
    EXPECT_TRUE(receiver.enableBSS(false));  // known off
    EXPECT_TRUE(receiver.enableNG(true));
    EXPECT_TRUE(receiver.enableSelcalSh(true));
    EXPECT_TRUE(receiver.disableSelcalSh());
    EXPECT_TRUE(receiver.enableSelcalSh(true));
    EXPECT_TRUE(receiver.enableMute(true, false));
    EXPECT_TRUE(receiver.enableMute(true, false));
    EXPECT_TRUE(receiver.disableMute());
    EXPECT_TRUE(receiver.disableMute());
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=1 -> 0", "DSPROC_ENABLE timeslot=7 id=1 mask=128 -> 0",
                                   "DSPROC_ENABLE timeslot=7 id=2 mask=1024 -> 0", "DSPROC_DISABLE timeslot=7 id=0 mask=1024 -> 0",
                                   "DSPROC_ENABLE timeslot=7 id=3 mask=1024 -> 0", "DSPROC_ENABLE timeslot=7 id=4 mask=4 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=12 -> 0"}));
    for (const char* line : {"DSPROC_DISABLE VAD done: timeslot=7", "DSPROC_ENABLE NG done: timeslot=7 id=1",
                             "DSPROC_DISABLE SELCAL_SH done: timeslot=7", "DSPROC_ENABLE MUTE done: timeslot=7 id=4",
                             "DSPROC_DISABLE MUTE done: timeslot=7"})
        EXPECT_TRUE(logged(errors, line)) << line;
    EXPECT_EQ(board.state(dsp, "7"), (Strings{"timeslot=7 on=NG/1,SELCAL_SH/3 tone-filters=none"}));
}

TEST_F(DspReceiver, EventsReachTheReceiverOfTheirTimeSlotAsTheirTypeAllows)
{
    Receiver receiver(7);
    ASSERT_TRUE(receiver.enableVAD(true));
    ASSERT_TRUE(receiver.enableSD(true));
    // Without the events trace an unknown time slot leaves no line.
    raise_ignored("99 vad 1 1 0", receiver);
    EXPECT_FALSE(logged(errors, "receive dsproc event from unknown timeslot 99"));
    EXPECT_EQ(debug.text().find("dsproc"), std::string::npos);
    traces.events = true;

    raise("7 vad 2 1 0", [&] { return !receiver.events.empty(); });
    EXPECT_EQ(receiver.events.back(), "vad -1 0");
    EXPECT_TRUE(logged(debug, "dsproc event:  timeslot=7 id=1 type=1"));
    EXPECT_TRUE(logged(debug, "dsproc vad event:  dir_mask=2 vad_rx=1 vad_tx=0"));
    raise("7 vad 3 1 1", [&] { return receiver.events.size() == 2; });
    EXPECT_EQ(receiver.events.back(), "vad 1 1");
    raise("7 sd 5", [&] { return receiver.events.size() == 3; });
    EXPECT_EQ(receiver.events.back(), "sd 5");

    // The BSS score is a big-endian float, taken whatever the record's id while BSS is on.
    raise_ignored("7 bss 0.75", receiver);
    EXPECT_TRUE(logged(debug, "ignore spurious dsproc bss event (dsproc disabled):  timeslot=7 id=0 type=16"));
    ASSERT_TRUE(receiver.enableBSS(true));
    raise("7 bss 0.75 id=12345", [&] { return receiver.events.size() == 4; });
    EXPECT_EQ(receiver.events.back(), "bss 0.750000");
    EXPECT_TRUE(logged(debug, "dsproc bss event:  score=0.75"));

    // Tone presence is the first byte of the second word.
    raise("7 tone 1000 0x01000000", [&] { return receiver.events.size() == 5; });
    EXPECT_EQ(receiver.events.back(), "tone 1000 1");
    raise("7 tone 1000 0x00000001", [&] { return receiver.events.size() == 6; });
    EXPECT_EQ(receiver.events.back(), "tone 1000 0");
    raise("7 flags 0x1F 0x0F", [&] { return receiver.events.size() == 7; });
    EXPECT_EQ(receiver.events.back(), "flags 31 15");
    EXPECT_TRUE(logged(debug, "dsproc flags event:  flags=0x1F, mask=0xF"));

    // Events of an earlier enable are not this receiver's.
    ASSERT_TRUE(receiver.enableVAD(false));
    ASSERT_TRUE(receiver.enableVAD(true));  // id 4
    raise_ignored("7 vad 1 1 0 id=1", receiver);
    EXPECT_TRUE(logged(debug, "ignore spurious dsproc vad event:  timeslot=7 id=1 type=1 rid=4"));
    raise_ignored("7 sd 1 id=3", receiver);
    raise_ignored("99 vad 1 1 0", receiver);
    EXPECT_TRUE(logged(errors, "receive dsproc event from unknown timeslot 99"));
    EXPECT_EQ(receiver.events.size(), 7u);

    ASSERT_TRUE(receiver.enableVAD(false));
    raise_ignored("7 vad 1 1 0 id=4", receiver);
    EXPECT_TRUE(logged(debug, "ignore spurious dsproc vad event (dsproc disabled):  timeslot=7 id=4 type=1"));
}

TEST_F(DspReceiver, OfTwoReceiversOnATimeSlotTheOneEnabledUnderTheEventsIdTakesIt)
{
    auto older = std::make_unique<Receiver>(9);
    Receiver newer(9);
    ASSERT_TRUE(older->enableVAD(true));
    ASSERT_TRUE(newer.enableVAD(true));
    raise("9 vad 1 1 0 id=2", [&] { return !newer.events.empty(); });
    EXPECT_TRUE(older->events.empty());
    raise("9 vad 1 0 0 id=1", [&] { return !older->events.empty(); });
    EXPECT_EQ(newer.events.size(), 1u);
    // Events without an id go to the older one while it lives.
    raise("9 flags 1 1", [&] { return older->events.size() == 2; });
    older.reset();
    raise("9 flags 1 1", [&] { return newer.events.size() == 2; });
}

TEST_F(DspReceiver, ConfigurationRecordsFitTheirFields)
{
    Receiver receiver(7);
    receiver.configureDelays(10, 20, 30);
    receiver.configureRxGain(-3);
    receiver.configureRxGain(300);
    receiver.configureToneFilter(70000, 1, 100000, -200);
    receiver.configureToneFilter(1000, 1, 50, -20);
    EXPECT_TRUE(receiver.configureSD());
    EXPECT_EQ(requests(), (Strings{"DSPROC_CONFIGURE timeslot=7 DELAYS rx=10 tx=20 selcal=30 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 RX-GAIN gain_dB=-3 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 RX-GAIN gain_dB=127 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 TONE-FILTER freq=65535 en=1 dur_th_msec=65535 det_lvl_dB=-128 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 TONE-FILTER freq=1000 en=1 dur_th_msec=50 det_lvl_dB=-20 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 SD -> 0"}));
    for (const char* line : {"DSPROC_CONFIGURE DELAYS ts=7 rx=10 tx=20 selcal=30", "DSPROC_CONFIGURE RX GAIN ts=7 gain_dB=253",
                             "DSPROC_CONFIGURE TONE FILTER ts=7 freq=1000, en=1, dur_th_msec=50, det_lvl_dB=-20",
                             "DSPROC_CONFIGURE SD ts=7"})
        EXPECT_TRUE(logged(debug, line)) << line;
    for (const char* line : {"DSPROC_CONFIGURE RX GAIN: gain_dB=300 out of range, clamped to 127 timeslot=7",
                             "DSPROC_CONFIGURE TONE FILTER: freq=70000 out of range, clamped to 65535 timeslot=7",
                             "DSPROC_CONFIGURE TONE FILTER: dur_th_msec=100000 out of range, clamped to 65535 timeslot=7",
                             "DSPROC_CONFIGURE TONE FILTER: det_lvl_dB=-200 out of range, clamped to -128 timeslot=7"})
        EXPECT_TRUE(logged(errors, line)) << line;
    EXPECT_EQ(board.state(dsp, "7"), (Strings{"timeslot=7 on=none tone-filters=1000,65535 SD DELAYS rx=10 tx=20 "
                                              "selcal=30 RX-GAIN gain_dB=127"}));
}

TEST_F(DspReceiver, CleanUpSwitchesOffWhatWasTurnedOnButSdAndMute)
{
    Receiver receiver(7), idle(8);
    ASSERT_TRUE(receiver.enableVAD(true));
    ASSERT_TRUE(receiver.enableBSS(true));
    ASSERT_TRUE(receiver.enableNG(true));
    ASSERT_TRUE(receiver.enableSelcalSh(true));
    ASSERT_TRUE(receiver.enableSD(true));
    ASSERT_TRUE(receiver.enableMute(false, true));
    receiver.configureDelays(0, 0, 5);
    receiver.configureRxGain(6);
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    idle.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=1 -> 0", "DSPROC_DISABLE timeslot=7 id=0 mask=16 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=128 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=1024 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 DELAYS rx=0 tx=0 selcal=0 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 RX-GAIN gain_dB=0 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0",
                                   "DSPROC_DISABLE timeslot=8 id=0 mask=256 -> 0"}));
    EXPECT_TRUE(logged(debug, "DISABLE ALL TONE done:  ts=8"));
    EXPECT_EQ(board.state(dsp, "7").at(0).rfind("timeslot=7 on=SD/5,MUTE-TX/6 ", 0), 0u);
}

TEST_F(DspReceiver, FailuresAreLoggedAndLeaveTheStateAsItWas)
{
    Receiver receiver(7);
    board.fail(dsp, 0x400C6402, EIO, 2);  // enable
    EXPECT_FALSE(receiver.enableVAD(true));
    EXPECT_FALSE(receiver.enableMute(true, true));
    EXPECT_TRUE(logged(errors, "DSPROC_ENABLE VAD fail: timeslot=7 id=1 errno=\"Input/output error\""));
    EXPECT_TRUE(logged(errors, "DSPROC_ENABLE MUTE fail: timeslot=7 id=2 errno=\"Input/output error\""));
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0"}));
}

TEST_F(DspReceiver, AClosedServiceReopensOnlyToConfigure)
{
    board.set_absent(dsp, true);
    Receiver receiver(7);
    EXPECT_FALSE(receiver.enableVAD(true));
    EXPECT_FALSE(receiver.configureSD());
    board.set_absent(dsp, false);
    EXPECT_FALSE(receiver.enableNG(true));
    EXPECT_EQ(errors.text(), "open dsproc fail, VAD proceeding disabled: No such file or directory\n"
                             "DSPROC_ENABLE VAD fail: timeslot=7 id=1 errno=\"Bad file descriptor\"\n"
                             "open dsproc fail, VAD proceeding disabled: No such file or directory\n"
                             "configure SD fail: (interface not opened) timeslot=7\n"
                             "DSPROC_ENABLE NG fail: timeslot=7 id=2 errno=\"Bad file descriptor\"\n");
    receiver.disableToneAll();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0"}));
}

TEST_F(DspReceiver, AShortRecordEndsThePassAndAnEndOfFileClosesTheDevice)
{
    Receiver receiver(7);
    ASSERT_TRUE(receiver.configureSD());
    board.push(dsp, std::vector<uint8_t>(23, 0));
    ASSERT_TRUE(run_reactor_until([&] { return logged(errors, "fail to read from dsproc: short record of 23 bytes"); }));
    raise("7 flags 2 2", [&] { return !receiver.events.empty(); });

    board.end_of_file(dsp);
    ASSERT_TRUE(run_reactor_until([&] { return logged(errors, "fail to read from dsproc: end of file"); }));
    ASSERT_TRUE(run_reactor_until([&] { return !device_entries(board, dsp, "close").empty(); }, 10000, 10));
    EXPECT_TRUE(receiver.configureSD());
    EXPECT_EQ(device_entries(board, dsp, "open").size(), 2u);
}

}  // namespace
