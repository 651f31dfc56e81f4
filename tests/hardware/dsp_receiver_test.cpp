// DSP receivers and their service on the real reactor against the emulated voice processor. The
// service is the process's one, made afresh by each test that uses it and bound to that test's
// emulator, so event ids count from 1 in every test.

#include "emulated_device_test.h"

#include "hardware/dsproc_receiver.h"
#include "hardware/dsproc_receiver_service.h"
#include "server/trace_ctl.h"

#include <cerrno>

namespace {

using Strings = std::vector<std::string>;

constexpr const char* dsp = "/dev/dsp";

class Receiver : public Hardware::DSProcReceiver {
public:
    explicit Receiver(int timeslot) : timeslot_(timeslot) {}

    void dsproc_vad_event(const Hardware::DSProcVADEvent& event) override { note("vad", event.rx, event.tx); }
    void dsproc_bss_event(const ::dsproc_bss_event* event) override { note("bss", event->score); }
    void dsproc_sd_event(const Hardware::DSProcSDEvent& event) override { note("sd", event.rx); }
    void dsproc_tone_flt_event(const dsproc_tone_event* tone) override { note("tone", tone->frequency, tone->presence); }
    void dsproc_flags_event(const ::dsproc_flags_event* event) override { note("flags", event->flags, event->mask); }
    int dsproc_timeslot() const override { return timeslot_; }

    Strings events;  // "<type> <value>..."

private:
    template <class... Values>
    void note(const char* type, Values... values)
    {
        events.push_back((std::string(type) + ... + (" " + std::to_string(values))));
    }

    int timeslot_;
};

class DspReceiver : public boardtest::EmulatedDeviceTest {
protected:
    DspReceiver() : EmulatedDeviceTest(dsp) {}

    // Raises the events, then one that the receiver takes last: those before it were all read by then.
    void raise_all(Receiver& receiver, std::initializer_list<const char*> events)
    {
        size_t seen = receiver.events.size();
        for (const char* words : events)
            board.set(dsp, std::string("event ") + words);
        raise("7 flags 0 0", [&] { return receiver.events.size() > seen && receiver.events.back() == "flags 0 0"; });
    }
};

TEST_F(DspReceiver, ConfigurationRecordsFollowTheDriversVersionAndFitTheirFields)
{
    Receiver receiver(7);
    LGCP::VADParams v1, v2;
    v1.select_v1();
    TERM::VADParamsV2& values = v2.select_v2();
    values.set_voice_th_msec(100);
    values.set_silence_th_msec(200);
    values.set_e_th_dB(-40);
    // A driver of parameter version 2 takes the controller's VAD thresholds and needs them.
    EXPECT_FALSE(receiver.configureVAD(v1));
    EXPECT_TRUE(receiver.configureVAD(v2));
    // Values beyond a field are clamped to it.
    receiver.configureDelays(10, 20, 30);
    receiver.configureToneFilter(70000, 1, 100000, -200);
    EXPECT_TRUE(receiver.configureSD());
    // Any other version takes fixed words.
    board.set(dsp, "version 1");
    EXPECT_TRUE(receiver.configureVAD(v2));
    EXPECT_EQ(requests(), (Strings{"DSPROC_VERSION argument=0 -> 2", "DSPROC_VERSION argument=0 -> 2",
                                   "DSPROC_CONFIGURE timeslot=7 VAD voice-th-msec=100 silence-th-msec=200 e-th-dB=-40 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 DELAYS rx=10 tx=20 selcal=30 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 TONE-FILTER freq=65535 en=1 dur_th_msec=65535 det_lvl_dB=-128 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 SD -> 0", "DSPROC_VERSION argument=0 -> 1",
                                   "DSPROC_CONFIGURE timeslot=7 VAD words=3,127,0 -> 0"}));
}

TEST_F(DspReceiver, SwitchesIssueOnlyWhatChangesAKnownStateAndCleanUpUndoesAllButSdAndMute)
{
    Receiver receiver(7);
    // VAD is not yet known: its first disable is issued. BSS is known off.
    ASSERT_TRUE(receiver.enableVAD(false) && receiver.enableVAD(false) && receiver.enableBSS(false));
    ASSERT_TRUE(receiver.enableMute(true, false) && receiver.enableMute(true, false) && receiver.disableMute() &&
                receiver.disableMute());
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=1 -> 0", "DSPROC_ENABLE timeslot=7 id=1 mask=4 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=12 -> 0"}));

    for (bool (Receiver::*enable)(bool) : {&Receiver::enableVAD, &Receiver::enableBSS, &Receiver::enableNG,
                                           &Receiver::enableSelcalSh, &Receiver::enableSD})
        ASSERT_TRUE((receiver.*enable)(true));
    ASSERT_TRUE(receiver.enableMute(false, true));
    receiver.configureDelays(0, 0, 5);
    receiver.configureRxGain(-3);
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=1 -> 0", "DSPROC_DISABLE timeslot=7 id=0 mask=16 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=128 -> 0", "DSPROC_DISABLE timeslot=7 id=0 mask=1024 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 DELAYS rx=0 tx=0 selcal=0 -> 0",
                                   "DSPROC_CONFIGURE timeslot=7 RX-GAIN gain_dB=0 -> 0",
                                   "DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0"}));
    EXPECT_EQ(board.state(dsp, "7").at(0).rfind("timeslot=7 on=SD/6,MUTE-TX/7 ", 0), 0u);
}

TEST_F(DspReceiver, EventsReachTheReceiverOfTheirTimeSlotAsTheirTypeAllows)
{
    // A younger receiver of the time slot gets nothing: no enable of its own names the events.
    Receiver receiver(7), younger(7);
    ASSERT_TRUE(receiver.enableVAD(true) && receiver.enableSD(true));
    // A direction outside the event's mask is -1; tone presence is the first byte of the second
    // word. An unknown time slot, BSS while it is off and the SD of another enable reach nobody.
    raise_all(receiver, {"7 vad 2 1 0", "7 vad 3 1 1", "99 vad 1 1 0", "7 bss 0.75", "7 sd 5", "7 sd 1 id=3",
                         "7 tone 1000 0x01000000", "7 tone 1000 0x00000001", "7 flags 0x1F 0x0F"});
    // The BSS score is a big-endian float, taken whatever the record's id; VAD events of an
    // earlier enable or of a disabled detector reach nobody.
    ASSERT_TRUE(receiver.enableBSS(true) && receiver.enableVAD(false) && receiver.enableVAD(true));  // VAD id 4
    raise_all(receiver, {"7 bss 0.75 id=12345", "7 vad 1 1 0 id=1"});
    ASSERT_TRUE(receiver.enableVAD(false));
    raise_all(receiver, {"7 vad 1 1 0 id=4"});
    EXPECT_EQ(receiver.events, (Strings{"vad -1 0", "vad 1 1", "sd 5", "tone 1000 1", "tone 1000 0", "flags 31 15",
                                        "flags 0 0", "bss 0.750000", "flags 0 0", "flags 0 0"}));
    EXPECT_TRUE(younger.events.empty());
}

TEST_F(DspReceiver, TracedEventsAreLoggedWithTheirFieldsAndWhyNobodyTookThem)
{
    // Switched on for this test only, whatever its outcome.
    struct EventTraces {
        EventTraces() { traces.events = true; }
        ~EventTraces() { traces = saved; }
        const TraceCtl saved = traces;
    } on;
    Receiver receiver(7);
    ASSERT_TRUE(receiver.enableSD(true) && receiver.enableVAD(false));
    raise_all(receiver, {"7 vad 3 1 0", "99 sd 1", "7 bss 0.5", "7 sd 4 id=1"});
    ASSERT_TRUE(receiver.enableVAD(true));
    raise_all(receiver, {"7 vad 1 1 0 id=1"});
    EXPECT_EQ(receiver.events, (Strings{"sd 4", "flags 0 0", "flags 0 0"}));
    for (const char* line : {"dsproc vad event:  dir_mask=3 vad_rx=1 vad_tx=0", "dsproc sd event:  sd_rx=4",
                             "dsproc bss event:  score=0.5", "dsproc flags event:  flags=0x0, mask=0x0",
                             "receive dsproc event from unknown timeslot 99"})
        EXPECT_TRUE(logged(debug, line) || logged(errors, line)) << line;
    EXPECT_NE(debug.text().find("ignore spurious dsproc vad event (dsproc disabled):  timeslot=7"), std::string::npos);
    EXPECT_NE(debug.text().find("ignore spurious dsproc bss event (dsproc disabled):  timeslot=7"), std::string::npos);
    EXPECT_NE(debug.text().find("ignore spurious dsproc vad event:  timeslot=7 id=1 type="), std::string::npos);
}

TEST_F(DspReceiver, AClosedServiceReopensOnlyToConfigureAndFailuresLeaveTheStateAsItWas)
{
    board.set_absent(dsp, true);
    Receiver receiver(7);
    EXPECT_FALSE(receiver.enableVAD(true));
    EXPECT_FALSE(receiver.configureSD());
    board.set_absent(dsp, false);
    EXPECT_FALSE(receiver.enableNG(true));
    EXPECT_TRUE(logged(errors, "configure SD fail: (interface not opened) timeslot=7"));
    EXPECT_TRUE(logged(errors, "DSPROC_ENABLE NG fail: timeslot=7 id=2 errno=\"Bad file descriptor\""));
    receiver.disableToneAll();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0"}));

    board.fail(dsp, 0x400C6402, EIO, 2);  // enable
    EXPECT_FALSE(receiver.enableVAD(true));
    EXPECT_FALSE(receiver.enableMute(true, true));
    EXPECT_TRUE(logged(errors, "DSPROC_ENABLE MUTE fail: timeslot=7 id=4 errno=\"Input/output error\""));
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DSPROC_DISABLE timeslot=7 id=0 mask=256 -> 0"}));
}

}  // namespace
