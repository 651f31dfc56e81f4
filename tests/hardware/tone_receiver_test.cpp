// Tone receivers and their service on the real reactor against the emulated tone processor. The
// service is the process's one, made afresh by each test that uses it and bound to that test's
// emulator, so event ids count from 1 in every test.

#include "emulated_device_test.h"

#include "hardware/tonec_receiver.h"
#include "hardware/tonec_receiver_service.h"

#include <cerrno>
#include <cstdio>

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

    // The generator requests since the journal was cleared, as "<freq1>/<freq2> <level1>/<level2>",
    // and the times they came.
    Strings dialled(std::vector<unsigned long>* times = nullptr)
    {
        Strings tones;
        for (const JournalEntry& entry : device_entries(board, dtmf, "DTMF_DIAL")) {
            unsigned freq1, freq2, level1, level2;
            std::sscanf(entry.fields.c_str(), "timeslot=%*u freq1=%u freq2=%u level1=%u level2=%u", &freq1, &freq2,
                        &level1, &level2);
            char tone[48];
            std::snprintf(tone, sizeof tone, "%u/%u %u/%u", freq1, freq2, level1, level2);
            tones.push_back(tone);
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

TEST_F(ToneReceiver, EachEnableCarriesAFreshIdAndOnlyTheReceiverEnabledUnderTheEventsIdTakesIt)
{
    Receiver older(20), newer(20), other(11);
    // The last enable finds the detector on already: nothing is issued.
    ASSERT_TRUE(older.enableDTMF(true) && newer.enableDTMF(true) && other.enableDTMF(true) && older.enableDTMF(true));
    EXPECT_EQ(requests(), (Strings{"DTMF_ENABLE_DETECTOR timeslot=20 id=1 -> 0", "DTMF_ENABLE_DETECTOR timeslot=20 id=2 -> 0",
                                   "DTMF_ENABLE_DETECTOR timeslot=11 id=3 -> 0"}));

    raise("20 49 timestamp=77 id=2", [&] { return !newer.events.empty(); });
    EXPECT_EQ(newer.events, (std::vector<std::pair<uint32_t, uint32_t>>{{49, 77}}));
    raise("20 50 id=1", [&] { return !older.events.empty(); });
    // Events of no live enable, of a disabled detector and of a time slot without a receiver reach
    // nobody; the drain goes on with the next record.
    EXPECT_TRUE(older.disableDTMF());
    board.set(dtmf, "event 20 51 id=7");
    board.set(dtmf, "event 20 51 id=1");
    board.set(dtmf, "event 99 51");
    raise("11 52", [&] { return !other.events.empty(); });
    EXPECT_TRUE(logged(errors, "receive tonec event from unknown timeslot 99"));
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
    LGCP::TranslateDtmfParams list = digits({{941, 1477}, {852, 1336}});
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
    // An empty list is complete at once.
    receiver.translateDTMF(digits({}));
    EXPECT_EQ(receiver.completed, 3);
}

TEST_F(ToneReceiver, RingBackSoundsOneSecondInFourUntilCancelled)
{
    Receiver receiver(6);
    receiver.activateAudibleCall();
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048"}));
    for (auto [ms, count] : {std::pair{500, 1u}, {1000, 2u}, {3500, 2u}, {4100, 3u}, {5200, 4u}})
        at_ms(ms, count);
    receiver.cancelAudibleCall();
    at_ms(20000, 5);
    EXPECT_EQ(dialled(), (Strings{"425/0 2048/2048", "1000/1000 0/0", "425/0 2048/2048", "1000/1000 0/0", "0/0 0/0"}));
    EXPECT_EQ(receiver.completed, 0);
}

TEST_F(ToneReceiver, RequestsCarryTheirRecordsAndCleanUpUndoesWhatWasSwitchedOn)
{
    Receiver receiver(5);
    LGCP::DTMFParams thresholds;
    thresholds.get_threshold().set_twist(1);
    thresholds.get_threshold().set_ratio(2);
    thresholds.get_threshold().set_noise(3);
    thresholds.get_level().set_silence(4);
    LGCP::IVAParams iva;
    iva.set_det_lvl_dB(-30);
    ASSERT_TRUE(receiver.configureDTMF(thresholds) && receiver.echoCancel(true) && receiver.configureIVA(iva) &&
                receiver.enableIVA(true) && receiver.enableDTMFReject(true) &&
                receiver.enableToneGenerator(70000, -5, 100, 200));
    // SELCAL takes the first four signs, at the default or a clamped amplitude, and needs four.
    TERM::SelcalCommand selcal;
    for (const char* signs : {"12", "123456"}) {
        selcal.set_signs(signs);
        receiver.translateSelcal(selcal);
    }
    selcal.set_signs("ABCD");
    selcal.set_amp(70000);
    receiver.translateSelcal(selcal);
    EXPECT_EQ(requests(), (Strings{"DTMF_CONFIGURE_DETECTOR timeslot=5 twist=1 ratio=2 silence=4 noise=3 -> 0",
                                   "CHANNEL_LMS_ON timeslot=5 -> 0", "IVA_CONFIGURE_DETECTOR timeslot=5 level=-30 -> 0",
                                   "IVA_DETECTOR_ENABLE timeslot=5 -> 0", "DTMF_REJECTION_ENABLE timeslot=5 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=65535 freq2=0 level1=100 level2=200 -> 0",
                                   "SELCAL_DIAL timeslot=5 amp=12000 signs=1234 tail=0000 -> 0",
                                   "SELCAL_DIAL timeslot=5 amp=65535 signs=ABCD tail=0000 -> 0"}));

    receiver.activateAudibleCall();
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"IVA_DETECTOR_DISABLE timeslot=5 -> 0", "DTMF_REJECTION_DISABLE timeslot=5 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));
}

TEST_F(ToneReceiver, AMissingDeviceIsReopenedByConfiguringAndFailedRequestsAreLoggedAndChangeNothing)
{
    Receiver receiver(5);
    board.set_absent(dtmf, true);
    EXPECT_FALSE(receiver.echoCancel(true));
    board.set_absent(dtmf, false);
    EXPECT_FALSE(receiver.echoCancel(true));
    EXPECT_TRUE(receiver.configureDTMF(LGCP::DTMFParams()));
    board.fail(dtmf, 0x40084203, EIO);  // enable detector
    EXPECT_FALSE(receiver.enableDTMF(true));
    EXPECT_TRUE(logged(errors, "DTMF_ENABLE_DETECTOR fail: timeslot=5 id=1 errno=\"Input/output error\""));
    // The id was used up; the receiver still counts as off.
    EXPECT_TRUE(receiver.enableDTMF(true));
    EXPECT_EQ(requests().back(), "DTMF_ENABLE_DETECTOR timeslot=5 id=2 -> 0");
    // A tone that plays without a dialling stops with its owner too.
    ASSERT_TRUE(receiver.enableToneGenerator(425, 0, 100, 0));
    board.clear_journal();
    receiver.CleanBeforeDestroy();
    EXPECT_EQ(requests(), (Strings{"DTMF_DISABLE_DETECTOR timeslot=5 -> 0",
                                   "DTMF_DIAL timeslot=5 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));
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
    EXPECT_TRUE(run_reactor_until([&] { return !device_entries(board, dtmf, "close").empty(); }));
}

}  // namespace
