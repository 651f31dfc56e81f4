#include "hardware/hw_tests.h"

#include "board/hw_mux.h"

#include "foundation/util/ext_header.h"
#include "foundation/util/ext_hex.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace {

// The backplane buses follow the line channels on the switch, 128 time slots each.
constexpr uint32_t first_bus_channel = 8192;
constexpr uint32_t bus_channels = 128;

unsigned char next_pattern_byte() { return static_cast<unsigned char>(random()); }

}  // namespace

HwTests* HwTests::instance()
{
    static HwTests service(*HwMux::instance());
    return &service;
}

bool HwTests::OnCommand(const LGCP::Command& command)
{
    const LGCP::BpcTestParams* params = command.get_testBpc();
    if (!params)
        return false;
    OnTestBpc(*params);
    return true;
}

void HwTests::OnTestBpc(const LGCP::BpcTestParams& params)
{
    bus_ = static_cast<uint32_t>(params.get_bus().getValue());
    uint32_t start = static_cast<uint32_t>(params.get_timeslot_start().getValue());
    first_channel_ = first_bus_channel + bus_channels * bus_ + start;
    end_channel_ = first_channel_ + static_cast<uint32_t>(params.get_timeslot_length().getValue());
    seed_ = static_cast<uint32_t>(params.get_seed().getValue());
    srandom(seed_);
    switch (params.get_mode().currentSelection()) {
    case LGCP::BpcTestMode::read: TestRead(); break;
    case LGCP::BpcTestMode::write: TestWrite(); break;
    case LGCP::BpcTestMode::disconnect: TestDisconnect(); break;
    default: Error(LGCP::ErrorCause::invalidParams); break;
    }
}

void HwTests::TestRead() { Compare("test failed on channel ", " expected ", " read "); }

void HwTests::TestWrite()
{
    for (uint32_t channel = first_channel_; channel < end_channel_; ++channel)
        mux_.Write(static_cast<int>(channel), next_pattern_byte());
    usleep(500);
    srandom(seed_);
    Compare("write failed on channel ", " write ", " written ");
}

void HwTests::TestDisconnect()
{
    for (uint32_t channel = first_channel_; channel < end_channel_; ++channel)
        mux_.Disable(static_cast<int>(channel));
    usleep(250);
    Success();
}

void HwTests::Compare(const char* failure, const char* expected, const char* seen)
{
    for (uint32_t channel = first_channel_; channel < end_channel_; ++channel) {
        unsigned char pattern = next_pattern_byte();
        unsigned char read = mux_.Read(static_cast<int>(channel));
        if (read != pattern) {
            std::cerr << ext::header(this) << failure << channel % bus_channels << expected
                      << ext::OutBufInHex(&pattern, &pattern + 1) << seen << ext::OutBufInHex(&read, &read + 1)
                      << std::endl;
            Error(LGCP::ErrorCause::busError);
            return;
        }
    }
    Success();
}

void HwTests::PutHeader(std::ostream& out) const { out << "bus " << bus_ << ": "; }
