#pragma once

// The controller's backplane test (testBpc): a run of time slots of one backplane bus, seen as
// outputs of the TDM switch, checked against a pseudo-random byte pattern that another party
// drives onto them (read), written and read back (write), or released (disconnect). The pattern
// is the low byte of each random() value after srandom(seed): the party at the other end of the
// bus generates the same sequence. A test runs to its end inside the command's handling.

#include "server/ctrl_service.h"

#include <cstdint>
#include <iosfwd>

class HwMux;

class HwTests : public CtrlSrv::Service {
public:
    // The process's one service, built on first use, testing the process's one switch.
    static HwTests* instance();

    // Used by instance(); tests make their own.
    explicit HwTests(HwMux& mux) : mux_(mux) {}

    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(const LGCP::Command& command) override;

    void OnTestBpc(const LGCP::BpcTestParams& params);
    void TestRead();
    void TestWrite();
    void TestDisconnect();

    // "bus <n>: "
    void PutHeader(std::ostream& out) const;

private:
    // Compares the run with the pattern from its start; at the first difference logs
    // `failure` + the time slot, then `expected` and `seen` with the bytes, and answers busError.
    void Compare(const char* failure, const char* expected, const char* seen);

    HwMux& mux_;
    uint32_t bus_ = 0;
    uint32_t first_channel_ = 0;
    uint32_t end_channel_ = 0;  // one past the last
    uint32_t seed_ = 0;
};
