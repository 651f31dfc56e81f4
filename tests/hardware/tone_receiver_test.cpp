// Tone receivers and their service on the real reactor against the emulated tone processor. The
// service is the process's one, bound to the emulator of the first test that uses it: each test
// runs in a process of its own, as CTest runs them, so event ids count from 1 in every test.

#include "hardware/tonec_receiver.h"
#include "hardware/tonec_receiver_service.h"

#include "support/board_emulator.h"
#include "support/journal_requests.h"
#include "support/reactor_until.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "foundation/reactor/clock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace testsupport;
using reactortest::CaptureStream;
using Strings = std::vector<std::string>;

constexpr const char* dtmf = "/dev/dtmf";
constexpr uint32_t enable_detector_code = 0x40084203;
constexpr uint32_t lms_on_code = 0x40044206;
constexpr uint32_t rejection_enable_code = 0x40044209;

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

LGCP::DualTone tone(int freq1, int freq2)
{
    LGCP::DualTone digit;
    digit.set_freq1(freq1);
    digit.set_freq2(freq2);
    return digit;
}

LGCP::TranslateDtmfParams digits(std::initializer_list<std::pair<int, int>> tones)
{
    LGCP::TranslateDtmfParams list;
    for (const auto& [freq1, freq2] : tones)
        list.get_digits().push_back(tone(freq1, freq2));
    return list;
}

TERM::SelcalCommand selcal(const std::string& signs)
{
    TERM::SelcalCommand command;
    command.set_signs(signs);
    return command;
}

bool has_line(const std::string& text, const std::string& line)
{
    return text.compare(0, line.size() + 1, line + "\n") == 0 || text.find("\n" + line + "\n") != std::string::npos;
}

class ToneReceiver : public ::testing::Test {
protected:
    ~ToneReceiver() override { Mux::set_clock_offset_for_tests(0); }

    // The generator requests since the journal was cleared, as "<freq1>/<freq2> <level1>/<level2>".
    Strings dialled()
    {
        Strings tones;
        for (const JournalEntry& entry : device_entries(board, dtmf, "DTMF_DIAL")) {
            unsigned ts, freq1, freq2, level1, level2;
            std::sscanf(entry.fields.c_str(), "timeslot=%u freq1=%u freq2=%u level1=%u level2=%u", &ts, &freq1,
                        &freq2, &level1, &level2);
            tones.push_back(std::to_string(freq1) + "/" + std::to_string(freq2) + " " + std::to_string(level1) + "/" +
                            std::to_string(level2));
        }
        return tones;
    }
    std::vector<unsigned long> dial_times()
    {
        std::vector<unsigned long> times;
        for (const JournalEntry& entry : device_entries(board, dtmf, "DTMF_DIAL"))
            times.push_back(entry.time_ms);
        return times;
    }
    void advance_clock_ms(int64_t ms) { Mux::set_clock_offset_for_tests(ms * 1000); }
    // Raises a detector event in the emulator and lets the reactor take it.
    void raise(const std::string& words, const std::function<bool()>& taken)
    {
        board.set(dtmf, "event " + words);
        ASSERT_TRUE(run_reactor_until(taken)) << words;
    }
    bool logged(const CaptureStream& stream, const std::string& line) { return has_line(stream.text(), line); }

    TempRoot root;
    BoardEmulator board{root};
    CaptureStream errors{std::cerr};
    CaptureStream debug{std::clog};
};

TEST_F(ToneReceiver, EachEnableCarriesAFreshIdAndEventsReachOnlyTheirEnable)
{
    Receiver first(10), second(11), third(12);
    EXPECT_TRUE(first.enableDTMF(true));
    EXPECT_TRUE(second.enableDTMF(true));
    EXPECT_TRUE(third.enableDTMF(true));
    EXPECT_TRUE(first.enableDTMF(true));  // already on: nothing issued
    EXPECT_EQ(device_requests(board, dtmf),
              (Strings{"DTMF_ENABLE_DETECTOR timeslot=10 id=1 -> 0", "DTMF_ENABLE_DETECTOR timeslot=11 id=2 -> 0",
                       "DTMF_ENABLE_DETECTOR timeslot=12 id=3 -> 0"}));
    EXPECT_TRUE(logged(errors, "DTMF_ENABLE_DETECTOR done: timeslot=10 id=1"));
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
    EXPECT_EQ(device_requests(board, dtmf).back(), "DTMF_DISABLE_DETECTOR timeslot=10 -> 0");
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
    EXPECT_EQ(dialled(), (Strings{"697/1209 16384/16384", "1000/1000 0/0", "770/1336 16384/16384", "1000/1000 0/0",
                                  "0/0 0/0"}));
    std::vector<unsigned long> times = dial_times();
    for (size_t step = 1; step < times.size(); ++step)
        EXPECT_GE(times[step] - times[step - 1], 69u) << step;

    // The list's own amplitudes and durations apply to every digit.
    board.clear_journal();
    LGCP::TranslateDtmfParams list = digits({{941, 1477}, {852, 1336}});
    list.set_amp1(1000);
    list.set_amp2(2000);
    list.set_toneDuration(100);
    list.set_pauseDuration(50);
    receiver.translateDTMF(list);
    ASSERT_TRUE(run_reactor_until([&] { return receiver.completed == 2; }));
    EXPECT_EQ(dialled(), (Strings{"941/1477 1000/2000", "1000/1000 0/0", "852/1336 1000/2000", "1000/1000 0/0",
                                  "0/0 0/0"}));
    times = dial_times();
    ASSERT_EQ(times.size(), 5u);
    EXPECT_GE(times[1] - times[0], 99u);
    EXPECT_GE(times[2] - times[1], 49u);

    // An empty list completes at once.
    board.clear_journal();
    receiver.translateDTMF(LGCP::TranslateDtmfParams());
    EXPECT_EQ(receiver.completed, 3);
    EXPECT_EQ(dialled(), (Strings{"0/0 0/0"}));
}

TEST_F(ToneReceiver, AListGivenWhileDiallingReplacesTheDigitsStillToCome)
{
    Receiver receiver(5);
    receiver.translateDTMF(digits({{697, 1209}, {697, 1336}, {697, 1477}}));
    receiver.translateDTMF(digits({{941, 1633}}));
    receiver.cancelAudibleCall();  // dialling goes on
    ASSERT_TRUE(run_reactor_until([&] { return receiver.completed == 1; }));
    EXPECT_EQ(dialled(), (Strings{"697/1209 16384/16384", "1000/1000 0/0", "941/1633 16384/16384", "1000/1000 0/0",
                                  "0/0 0/0"}));
}

TEST_F(ToneReceiver, RingBackSoundsOneSecondInFourUntilCancelled)
{
    Receiver receiver(6);
    auto dials = [&](size_t n) { return [&, n] { return dialled().size() == n; }; };
    receiver.activateAudibleCall();
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048"}));
    advance_clock_ms(500);
    run_reactor_for(20);
    EXPECT_EQ(dialled().size(), 1u);
    advance_clock_ms(1000);
    ASSERT_TRUE(run_reactor_until(dials(2), 10000, 5));
    advance_clock_ms(3500);
    run_reactor_for(20);
    EXPECT_EQ(dialled().size(), 2u);
    advance_clock_ms(4100);
    ASSERT_TRUE(run_reactor_until(dials(3), 10000, 5));
    advance_clock_ms(5200);
    ASSERT_TRUE(run_reactor_until(dials(4), 10000, 5));
    receiver.cancelAudibleCall();
    advance_clock_ms(20000);
    run_reactor_for(30);
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048", "1000/1000 0/0", "425/0 2048/2048", "1000/1000 0/0", "0/0 0/0"}));
    EXPECT_EQ(receiver.completed, 0);
}

TEST_F(ToneReceiver, SelcalNeedsFourSignsAndSendsTheFirstFour)
{
    Receiver receiver(5);
    receiver.translateSelcal(selcal("12"));
    EXPECT_TRUE(logged(errors, "SELCAL_DIAL fail: timeslot=5 incorect signs:12"));
    receiver.translateSelcal(selcal("123456"));
    TERM::SelcalCommand loud = selcal("ABCD");
    loud.set_amp(70000);
    receiver.translateSelcal(loud);
    EXPECT_EQ(device_requests(board, dtmf), (Strings{"SELCAL_DIAL timeslot=5 amp=12000 signs=1234 tail=0000 -> 0",
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
    EXPECT_EQ(device_requests(board, dtmf),
              (Strings{"DTMF_CONFIGURE_DETECTOR timeslot=5 twist=1 ratio=2 silence=4 noise=3 -> 0",
                       "CHANNEL_LMS_ON timeslot=5 -> 0", "CHANNEL_LMS_OFF timeslot=5 -> 0",
                       "IVA_CONFIGURE_DETECTOR timeslot=5 level=-30 -> 0", "IVA_DETECTOR_ENABLE timeslot=5 -> 0",
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
    EXPECT_EQ(device_requests(board, dtmf),
              (Strings{"DTMF_DISABLE_DETECTOR timeslot=5 -> 0", "IVA_DETECTOR_DISABLE timeslot=5 -> 0",
                       "DTMF_REJECTION_DISABLE timeslot=5 -> 0",
                       "DTMF_DIAL timeslot=5 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));
    EXPECT_EQ(board.state(dtmf, "5"),
              (Strings{"timeslot=5 detector=off id=1 thresholds=1/2/4/3 lms=off rejection=off iva=off iva-level=-30 "
                       "generator=off"}));
}

TEST_F(ToneReceiver, FailedRequestsAreLoggedAndChangeNothing)
{
    Receiver receiver(5);
    board.fail(dtmf, enable_detector_code, EIO);
    board.fail(dtmf, lms_on_code, ENODEV);
    board.fail(dtmf, rejection_enable_code, EINVAL);
    EXPECT_FALSE(receiver.enableDTMF(true));
    EXPECT_FALSE(receiver.echoCancel(true));
    EXPECT_FALSE(receiver.enableDTMFReject(true));
    EXPECT_TRUE(logged(errors, "DTMF_ENABLE_DETECTOR fail: timeslot=5 id=1 errno=\"Input/output error\""));
    EXPECT_TRUE(logged(errors, "CHANNEL_LMS_ON fail: timeslot=5 errno=\"No such device\""));
    EXPECT_TRUE(logged(errors, "DTMF_REJECTION_ENABLE fail: timeslot=5 errno=\"Invalid argument\""));

    // The id was used up; the receiver still counts as off.
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_EQ(device_requests(board, dtmf).back(), "DTMF_ENABLE_DETECTOR timeslot=5 id=2 -> 0");
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(device_requests(board, dtmf), (Strings{"DTMF_DISABLE_DETECTOR timeslot=5 -> 0"}));
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

    LGCP::DTMFParams thresholds;
    EXPECT_TRUE(receiver.configureDTMF(thresholds));
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_EQ(device_requests(board, dtmf),
              (Strings{"DTMF_CONFIGURE_DETECTOR timeslot=5 twist=0 ratio=0 silence=0 noise=0 -> 0",
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
