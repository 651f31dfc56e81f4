// The ED-137 gateway radio control on the emulated header-extension driver and the reactor's test
// clock: keep-alives and the silence supervision over time, which PTT commands of the voice system
// are reported, and the source filter that the commanded PTT sets.

#include "../hardware/emulated_device_test.h"

#include "foundation/reactor/dpc.h"
#include "slots/rtp/ed137_radio_gw_control.h"

#include <poll.h>

namespace {

using namespace RTPSignalling;

class Control : public ED137RadioGWControl, public IRadioControlNotify {
public:
    explicit Control(const ED137RadioParams& radio = {}) : ED137RadioGWControl(rtp_ext_init_params{})
    {
        SetParams(radio);
        SetNotify(this);
    }
    void RadioControlNotify(const TERM::RtpRadioRequest&) override { ++reports; }
    void RadioControlNotify(int code) override { aborts += code == 151; }
    // A command in the rx or tx form for the voice system at 10.0.0.5.
    void Command(bool rx, int ptt = TERM::ED137RadioPTT::ptt_off)
    {
        TERM::RadioModifier command;
        command.select_ed_137().get_addr().set_session_addr("10.0.0.5");
        TERM::ED137RadioModifierParams& params = command.get_ed_137()->get_params();
        (rx ? params.select_rx().get_header() : params.select_tx().get_header()).get_ptt().setValue(ptt);
        SendASNToChan(command);
    }
    using ED137RadioControl::outgoing;
    using RadioControl::filterSet;
    using RadioControl::statistics;
    int reports = 0, aborts = 0;
};

class Ed137RadioControlTest : public boardtest::BoardTest {
protected:
    Ed137RadioControlTest()
    {
        Mux::gettimeval(start);
        Mux::set_cached_time_for_tests(start);
        stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
        stop.Activate();
    }
    // The clock at `ms` after the start, and one reactor pass on it: the timers due fire, then the
    // deferred call ends the loop before it would wait.
    void at(unsigned ms)
    {
        Mux::timeval now = start;
        Mux::timevaladd(now, Mux::make_from_msec(ms));
        Mux::set_cached_time_for_tests(now);
        multiplexer.run(false, true);
    }
    // A tx-form payload from the voice system at 10.0.0.7, read at once.
    void receive(Control& control, const char* hex)
    {
        board.set("/dev/rtp_ext", std::string("packet 1 10.0.0.7 ") + hex);
        control.OnRtpExtEvent(-1, POLLIN);
    }

    Mux::timeval start;
    Dpc stop;
};

TEST_F(Ed137RadioControlTest, KeepAlivesGoOutInTheRxFormEveryIntervalAndSilenceIsReportedUntilHeard)
{
    Control control;
    control.SetTimerEnable(true);
    // (ms, 'r'x or 't'x command or 'p'acket received, payloads written, aborts, form of the last)
    const std::tuple<unsigned, char, uint32_t, int, uint32_t> steps[] = {
        {999, '-', 0, 0, 0},  {1000, '-', 1, 0, 2}, {1999, '-', 1, 0, 2}, {2000, '-', 2, 1, 2}, {2700, 'r', 3, 1, 2},
        {3000, '-', 3, 2, 2}, {3709, '-', 3, 2, 2}, {3710, '-', 4, 3, 2}, {3800, 't', 5, 3, 1}, {3850, 'p', 5, 3, 1},
        {4710, '-', 6, 3, 2}, {5710, '-', 7, 3, 2}, {6710, '-', 8, 4, 2}};
    for (auto [ms, action, written, aborts, form] : steps) {
        at(ms);
        if (action == 'p')
            receive(control, "21400000");
        else if (action != '-')
            control.Command(action == 'r');
        EXPECT_EQ(control.statistics.written, written) << ms;
        EXPECT_EQ(control.aborts, aborts) << ms;
        EXPECT_EQ(control.outgoing.form, form) << ms;
    }
    EXPECT_EQ(control.reports, 1);
}

TEST_F(Ed137RadioControlTest, OnlyARadioThatTransmitsReportsPttCommandsAndARepeatOncePerInterval)
{
    const std::tuple<uint32_t, uint32_t, int> radios[] = {{2, 2, 3}, {1, 2, 0}, {3, 1, 0}, {4, 0, 3}};
    for (auto [type, mode, reports] : radios) {
        at(0);
        Control control{ED137RadioParams{0, 1, 200, 10, type, mode}};
        // The same PTT command at 100, 600 and 1100 ms, then PTT off.
        for (auto [ms, hex] : {std::pair{100u, "21400000"}, {600u, "21400000"}, {1100u, "21400000"},
                               {1200u, "01400000"}})
            at(ms), receive(control, hex);
        EXPECT_EQ(control.reports, reports) << type << "/" << mode;
    }

    // A radio state names no voice system: PTT on filters nothing until a command names one.
    Control control;
    TERM::RadioStatus status;
    status.select_ed_137().get_header().set_ptt(TERM::ED137RadioPTT::normal_ptt_on);
    control.SendASNToChan(status);
    EXPECT_FALSE(control.filterSet);
    control.Command(true, TERM::ED137RadioPTT::normal_ptt_on);
    EXPECT_TRUE(control.filterSet);
}

}  // namespace
