#pragma once

// The fixture of a board front end tested on the real reactor against one emulated device, in a
// fresh root, with what it logs to the debug and error streams captured.

#include "support/board_emulator.h"
#include "support/journal_requests.h"
#include "support/reactor_until.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace boardtest {

class EmulatedDeviceTest : public ::testing::Test {
protected:
    explicit EmulatedDeviceTest(const char* device) : device_(device) {}

    // What the device was asked, as testsupport::device_requests gives it.
    std::vector<std::string> requests() { return testsupport::device_requests(board, device_); }
    // Raises a driver event in the emulator and lets the reactor run until it is taken.
    void raise(const std::string& words, const std::function<bool()>& taken)
    {
        board.set(device_, "event " + words);
        ASSERT_TRUE(testsupport::run_reactor_until(taken)) << words;
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

private:
    const char* device_;
};

}  // namespace boardtest
