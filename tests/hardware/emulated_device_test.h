#pragma once

// The fixtures of board front ends tested on the real reactor against the board emulator, in a
// fresh root, with what they log to the debug and error streams captured. Each test leaves the
// process-wide switch and receiver services unmade, as it found them.

#include "support/board_emulator.h"
#include "support/journal_requests.h"

#include "board/hw_mux.h"
#include "foundation/util/process_wide.h"
#include "hardware/dsproc_receiver_service.h"
#include "hardware/tonec_receiver_service.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <functional>
#include <string>
#include <vector>

namespace boardtest {

using Strings = std::vector<std::string>;

class BoardTest : public reactortest::ReactorTest {
protected:
    // The process-wide front ends of the board that the test used go with its emulator.
    ~BoardTest() override
    {
        ProcessWide<HwMux>::end();
        ProcessWide<Hardware::TonecReceiverService>::end();
        ProcessWide<Hardware::DSProcReceiverService>::end();
    }

    // The requests of the device in the journal since it was last cleared whose name starts with
    // the prefix, opens and closes included.
    Strings requests(const std::string& device, const std::string& prefix = "")
    {
        return testsupport::device_requests(board, device, prefix, true);
    }
    // Whether the stream got the line, whole.
    static bool logged(const reactortest::CaptureStream& stream, const std::string& line)
    {
        std::string text = stream.text();
        return text.compare(0, line.size() + 1, line + "\n") == 0 || text.find("\n" + line + "\n") != std::string::npos;
    }

    testsupport::TempRoot root;
    testsupport::BoardEmulator board{root};
    reactortest::CaptureStream errors{std::cerr};
    reactortest::CaptureStream debug{std::clog};
};

// One emulated device and the front end driving it.
class EmulatedDeviceTest : public BoardTest {
protected:
    explicit EmulatedDeviceTest(const char* device) : device_(device) {}

    // What the device was asked, but its opens and closes.
    Strings requests() { return testsupport::device_requests(board, device_); }
    // Raises a driver event in the emulator and lets the reactor run until it is taken.
    void raise(const std::string& words, const std::function<bool()>& taken)
    {
        board.set(device_, "event " + words);
        ASSERT_TRUE(testsupport::run_reactor_until(taken)) << words;
    }

private:
    const char* device_;
};

}  // namespace boardtest
