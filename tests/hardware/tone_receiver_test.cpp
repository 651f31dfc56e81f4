// Tone receivers and their service on the real reactor against the emulated tone processor. The
// service is the process's one, bound to the emulator of the first test that uses it: each test
// runs in a process of its own, as CTest runs them, so event ids count from 1 in every test.

#include "emulated_device_test.h"

#include "hardware/tonec_receiver.h"
#include "hardware/tonec_receiver_service.h"

#include "foundation/reactor/clock.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

constexpr const char* dtmf = "/dev/dtmf";

class Receiver : public Hardware::TonecReceiver {
public:
    explicit Receiver(int timeslot) : timeslot_(timeslot) {}

    void tonec_event(const Params& params) override { events.emplace_back(params.code, params.timestamp); }
    int tonec_timeslot() const override { return timeslot_; }
    void tone_gen_complete() override { ++completed; }

    std::vector<std::pair<uint32_t, uint32_t>> events;  // code, timestamp
    int completed = 0;

private:
    int timeslot_;
};

LGCP::TranslateDtmfParams digits(std::initializer_list<std::pair<int, int>> tones)
{
    LGCP::TranslateDtmfParams list;
    for (const auto& [freq1, freq2] : tones) {
        LGCP::DualTone digit;
        digit.set_freq1(freq1);
        digit.set_freq2(freq2);
        list.get_digits().push_back(digit);
    }
    return list;
}

class ToneReceiver : public boardtest::EmulatedDeviceTest {
protected:
    ToneReceiver() : EmulatedDeviceTest(dtmf) {}
    ~ToneReceiver() override { Mux::set_clock_offset_for_tests(0); }

    // The generator requests since the journal was cleared, as "<freq1>/<freq2> <level1>/<level2>",
    // and the times they came.
    Strings dialled(std::vector<unsigned long>* times = nullptr)
    {
        Strings tones;
        for (const JournalEntry& entry : device_entries(board, dtmf, "DTMF_DIAL")) {
            unsigned ts, freq1, freq2, level1, level2;
            std::sscanf(entry.fields.c_str(), "timeslot=%u freq1=%u freq2=%u level1=%u level2=%u", &ts, &freq1,
                        &freq2, &level1, &level2);
            tones.push_back(std::to_string(freq1) + "/" + std::to_string(freq2) + " " + std::to_string(level1) + "/" +
                            std::to_string(level2));
            if (times)
                times->push_back(entry.time_ms);
        }
        return tones;
    }
    // Moves the clock to the time and lets the reactor run until the generator was asked `count` times.
    void at_ms(int64_t ms, size_t count)
    {
        Mux::set_clock_offset_for_tests(ms * 1000);
        ASSERT_TRUE(run_reactor_until([&] { return dialled().size() >= count; }, 10000, 5)) << ms;
        run_reactor_for(20);
        EXPECT_EQ(dialled().size(), count) << ms;
    }
};

TEST_F(ToneReceiver, EachEnableCarriesAFreshIdAndEventsReachOnlyTheirEnable)
{
    Receiver first(10), second(11), third(12);
    EXPECT_TRUE(first.enableDTMF(true));
    EXPECT_TRUE(second.enableDTMF(true));
    EXPECT_TRUE(third.enableDTMF(true));
    EXPECT_TRUE(first.enableDTMF(true));  // already on: nothing issued
    EXPECT_EQ(requests(), (Strings{"DTMF_ENABLE_DETECTOR timeslot=10 id=1 -> 0",
                                   "DTMF_ENABLE_DETECTOR timeslot=11 id=2 -> 0",
                                   "DTMF_ENABLE_DETECTOR timeslot=12 id=3 -> 0"}));
    EXPECT_TRUE(logged(errors, "DTMF_ENABLE_DETECTOR done: timeslot=12 id=3"));

    raise("10 49 timestamp=77", [&] { return !first.events.empty(); });
    EXPECT_EQ(first.events, (std::vector<std::pair<uint32_t, uint32_t>>{{49, 77}}));
    EXPECT_TRUE(logged(debug, "dtmf event:  timestamp=77 timeslot=10 code=49 id=1"));
    // An event raised under another enable is not this receiver's.
    raise("10 50 timestamp=78 id=2",
          [&] { return logged(debug, "ignore spurious dtmf event:  timestamp=78 timeslot=10 code=50 id=2 rid=1"); });
    EXPECT_EQ(first.events.size(), 1u);
    // A time slot without a receiver is reported, and the drain goes on with the next record.
    board.set(dtmf, "event 99 51 timestamp=79");
    raise("11 52 timestamp=80", [&] { return !second.events.empty(); });
    EXPECT_TRUE(logged(errors, "receive tonec event from unknown timeslot 99"));

    EXPECT_TRUE(first.disableDTMF());
    EXPECT_TRUE(first.disableDTMF());
    EXPECT_EQ(device_entries(board, dtmf, "DTMF_DISABLE_DETECTOR").size(), 1u);
    EXPECT_TRUE(logged(errors, "DTMF_DISABLE_DETECTOR done: timeslot=10"));
    raise("10 53 timestamp=81", [&] {
        return logged(debug, "ignore spurious dtmf event (DTMF disabled):  timestamp=81 timeslot=10 code=53 id=1");
    });
    EXPECT_EQ(first.events.size(), 1u);
}

TEST_F(ToneReceiver, OfTwoReceiversOnATimeSlotTheOneEnabledUnderTheEventsIdTakesIt)
{
    Receiver older(20), newer(20);
    ASSERT_TRUE(older.enableDTMF(true));
    ASSERT_TRUE(newer.enableDTMF(true));
    raise("20 1 id=2", [&] { return !newer.events.empty(); });
    EXPECT_TRUE(older.events.empty());
    raise("20 2 id=1", [&] { return !older.events.empty(); });
    EXPECT_EQ(newer.events.size(), 1u);
    raise("20 3 id=7 timestamp=5",
          [&] { return logged(debug, "ignore spurious dtmf event:  timestamp=5 timeslot=20 code=3 id=7 rid=1"); });
    EXPECT_EQ(older.events.size() + newer.events.size(), 2u);
}

TEST_F(ToneReceiver, DigitsAreDialledAsTonesAndPausesThenReportedComplete)
{
    Receiver receiver(5);
    receiver.translateDTMF(digits({{697, 1209}, {770, 1336}}));
    ASSERT_TRUE(run_reactor_until([&] { return receiver.completed == 1; }));
    run_reactor_for(100);
    EXPECT_EQ(receiver.completed, 1);
    std::vector<unsigned long> times;
    EXPECT_EQ(dialled(&times), (Strings{"697/1209 16384/16384", "1000/1000 0/0", "770/1336 16384/16384",
                                        "1000/1000 0/0", "0/0 0/0"}));
    for (size_t step = 1; step < times.size(); ++step)
        EXPECT_GE(times[step] - times[step - 1], 69u) << step;

    // The list's own amplitudes and durations apply to every digit; a new list replaces the
    // digits still to come.
    board.clear_journal();
    LGCP::TranslateDtmfParams list = digits({{941, 1477}, {852, 1336}, {697, 1209}});
    list.set_amp1(1000);
    list.set_amp2(2000);
    list.set_toneDuration(100);
    list.set_pauseDuration(50);
    receiver.translateDTMF(list);
    receiver.translateDTMF(digits({{941, 1633}}));
    receiver.cancelAudibleCall();  // dialling goes on
    ASSERT_TRUE(run_reactor_until([&] { return receiver.completed == 2; }));
    times.clear();
    EXPECT_EQ(dialled(&times), (Strings{"941/1477 1000/2000", "1000/1000 0/0", "941/1633 16384/16384",
                                        "1000/1000 0/0", "0/0 0/0"}));
    EXPECT_GE(times[1] - times[0], 99u);
    EXPECT_GE(times[2] - times[1], 49u);

    // An empty list completes at once.
    board.clear_journal();
    receiver.translateDTMF(LGCP::TranslateDtmfParams());
    EXPECT_EQ(receiver.completed, 3);
    EXPECT_EQ(dialled(), (Strings{"0/0 0/0"}));
}

TEST_F(ToneReceiver, RingBackSoundsOneSecondInFourUntilCancelled)
{
    Receiver receiver(6);
    receiver.activateAudibleCall();
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048"}));
    at_ms(500, 1);
    at_ms(1000, 2);
    at_ms(3500, 2);
    at_ms(4100, 3);
    at_ms(5200, 4);
    receiver.cancelAudibleCall();
    at_ms(20000, 5);
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048", "1000/1000 0/0", "425/0 2048/2048", "1000/1000 0/0", "0/0 0/0"}));
    EXPECT_EQ(receiver.completed, 0);
}

TEST_F(ToneReceiver, SelcalNeedsFourSignsAndSendsTheFirstFourAtAClampedAmplitude)
{
    Receiver receiver(5);
    TERM::SelcalCommand command;
    for (const char* signs : {"12", "123456"}) {
        command.set_signs(signs);
        receiver.translateSelcal(command);
    }
    command.set_signs("ABCD");
    command.set_amp(70000);
    receiver.translateSelcal(command);
    EXPECT_TRUE(logged(errors, "SELCAL_DIAL fail: timeslot=5 incorect signs:12"));
    EXPECT_EQ(requests(), (Strings{"SELCAL_DIAL timeslot=5 amp=12000 signs=1234 tail=0000 -> 0",
                                   "SELCAL_DIAL timeslot=5 amp=65535 signs=ABCD tail=0000 -> 0"}));
    EXPECT_TRUE(logged(errors, "SELCAL_DIAL: amp=70000 out of range, clamped to 65535 timeslot=5"));
}

TEST_F(ToneReceiver, RequestsCarryTheirRecordsAndCleanUpUndoesWhatWasSwitchedOn)
{
    Receiver receiver(5), idle(8);
    LGCP::DTMFParams thresholds;
    thresholds.get_threshold().set_twist(1);
    thresholds.get_threshold().set_ratio(2);
    thresholds.get_threshold().set_noise(3);
    thresholds.get_level().set_silence(4);
    LGCP::IVAParams iva;
    iva.set_det_lvl_dB(-30);
    EXPECT_TRUE(receiver.configureDTMF(thresholds));
    EXPECT_TRUE(receiver.echoCancel(true));
    EXPECT_TRUE(receiver.echoCancel(false));
    EXPECT_TRUE(receiver.configureIVA(iva));
    EXPECT_TRUE(receiver.enableIVA(true));
    EXPECT_TRUE(receiver.enableDTMFReject(true));
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_TRUE(receiver.enableToneGenerator(70000, -5, 100, 200));
    EXPECT_FALSE(receiver.disableToneGenerator(false));  // not dialling: nothing to stop
    receiver.activateAudibleCall();
    EXPECT_EQ(requests(), (Strings{"DTMF_CONFIGURE_DETECTOR timeslot=5 twist=1 ratio=2 silence=4 noise=3 -> 0",
                                   "CHANNEL_LMS_ON timeslot=5 -> 0", "CHANNEL_LMS_OFF timeslot=5 -> 0",
                                   "IVA_CONFIGURE_DETECTOR timeslot=5 level=-30 -> 0",
                                   "IVA_DETECTOR_ENABLE timeslot=5 -> 0",
                                   "DTMF_REJECTION_ENABLE timeslot=5 -> 0", "DTMF_ENABLE_DETECTOR timeslot=5 id=1 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=65535 freq2=0 level1=100 level2=200 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=425 freq2=0 level1=2048 level2=2048 -> 0"}));
    for (const char* line : {"DTMF_CONFIGURE_DETECTOR ts=5 twist=1 ratio=2 noise=3 silence=4", "CHANNEL_LMS_ON[5] ok",
                             "CHANNEL_LMS_OFF[5] ok", "IVA_CONFIGURE_DETECTOR ts=5 det_lvl_dB=-30",
                             "IVA_DETECTOR_ENABLE[5] ok", "DTMF_REJECTION_ENABLE[5] ok"})
        EXPECT_TRUE(logged(debug, line)) << line;
    EXPECT_TRUE(logged(errors, "DTMF_DIAL: freq1=70000 out of range, clamped to 65535 timeslot=5"));
    EXPECT_TRUE(logged(errors, "DTMF_DIAL: freq2=-5 out of range, clamped to 0 timeslot=5"));

    board.clear_journal();
    receiver.CleanBeforeDestroy();
    idle.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DTMF_DISABLE_DETECTOR timeslot=5 -> 0", "IVA_DETECTOR_DISABLE timeslot=5 -> 0",
                                   "DTMF_REJECTION_DISABLE timeslot=5 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));
    EXPECT_EQ(board.state(dtmf, "5"),
              (Strings{"timeslot=5 detector=off id=1 thresholds=1/2/4/3 lms=off rejection=off iva=off iva-level=-30 "
                       "generator=off"}));
}

TEST_F(ToneReceiver, FailedRequestsAreLoggedAndChangeNothing)
{
    Receiver receiver(5);
    board.fail(dtmf, 0x40084203, EIO);     // enable detector
    board.fail(dtmf, 0x40044206, ENODEV);  // echo canceller on
    board.fail(dtmf, 0x40044209, EINVAL);  // rejection on
    EXPECT_FALSE(receiver.enableDTMF(true));
    EXPECT_FALSE(receiver.echoCancel(true));
    EXPECT_FALSE(receiver.enableDTMFReject(true));
    EXPECT_TRUE(logged(errors, "DTMF_ENABLE_DETECTOR fail: timeslot=5 id=1 errno=\"Input/output error\""));
    EXPECT_TRUE(logged(errors, "CHANNEL_LMS_ON fail: timeslot=5 errno=\"No such device\""));
    EXPECT_TRUE(logged(errors, "DTMF_REJECTION_ENABLE fail: timeslot=5 errno=\"Invalid argument\""));

    // The id was used up; the receiver still counts as off.
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_EQ(requests().back(), "DTMF_ENABLE_DETECTOR timeslot=5 id=2 -> 0");
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DTMF_DISABLE_DETECTOR timeslot=5 -> 0"}));
}

TEST_F(ToneReceiver, AClosedServiceReopensOnlyToConfigure)
{
    board.set_absent(dtmf, true);
    Receiver receiver(5);
    EXPECT_FALSE(receiver.enableDTMF(true));
    board.set_absent(dtmf, false);
    EXPECT_FALSE(receiver.enableIVA(true));
    EXPECT_EQ(errors.text(), "open tonec fail, DTMF proceeding disabled: No such file or directory\n"
                             "DTMF_ENABLE_DETECTOR fail: timeslot=5 id=1 errno=\"Bad file descriptor\"\n"
                             "IVA_DETECTOR_ENABLE fail: timeslot=5 errno=\"Bad file descriptor\"\n");
    EXPECT_TRUE(receiver.configureDTMF(LGCP::DTMFParams()));
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_EQ(requests(), (Strings{"DTMF_CONFIGURE_DETECTOR timeslot=5 twist=0 ratio=0 silence=0 noise=0 -> 0",
                                   "DTMF_ENABLE_DETECTOR timeslot=5 id=2 -> 0"}));
}

TEST_F(ToneReceiver, AShortRecordEndsThePassAndAnEndOfFileClosesTheDevice)
{
    Receiver receiver(5);
    ASSERT_TRUE(receiver.enableDTMF(true));
    board.push(dtmf, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(run_reactor_until([&] { return logged(errors, "fail to read from tonec: short record of 7 bytes"); }));
    raise("5 9", [&] { return !receiver.events.empty(); });

    board.end_of_file(dtmf);
    ASSERT_TRUE(run_reactor_until([&] { return logged(errors, "fail to read from tonec: end of file"); }));
    ASSERT_TRUE(run_reactor_until([&] { return !device_entries(board, dtmf, "close").empty(); }, 10000, 10));
    // Configuring opens the device again.
    EXPECT_TRUE(receiver.configureDTMF(LGCP::DTMFParams()));
    EXPECT_EQ(device_entries(board, dtmf, "open").size(), 2u);
}

TEST(ToneEventIds, CountFromOneAndSkipZeroWhenTheyWrap)
{
    Hardware::EventIdCounter fresh;
    EXPECT_EQ(fresh.next(), 1u);
    EXPECT_EQ(fresh.next(), 2u);
    Hardware::EventIdCounter worn(0xFFFFFFFEu);
    EXPECT_EQ(worn.next(), 0xFFFFFFFFu);
    EXPECT_EQ(worn.next(), 1u);
}

}  // namespace
