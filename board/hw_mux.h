#pragma once

// The board's TDM time-slot switch behind "/dev/hal". Its 2048 outputs, channels 8192 to 10239,
// are each driven from a source channel, driven with a constant byte, or disabled (floating).
// HwMux keeps its own map of what each output does and, from a deferred call, keeps disabling
// again the outputs it believes disabled, so that an output the hardware left driven is released.
//
// A device that fails to open is tried again by every later operation. Other non-negative channel
// numbers go to the driver but are not mapped.

#include "foundation/os/fd.h"
#include "foundation/reactor/dpc.h"

#include <array>
#include <cstddef>
#include <cstdint>

class HwMux {
public:
    static constexpr int first_output = 8192;
    static constexpr int output_count = 2048;
    // Channels of the switch: 0 to 10239, the outputs at the top.
    static constexpr int channel_count = first_output + output_count;
    // Map entries other than a source channel.
    static constexpr uint16_t disabled = 0xFFFF;
    static constexpr uint16_t constant = 0xFFFE;
    // What Disconnect drives onto an output.
    static constexpr unsigned char idle_byte = 0xD5;
    // Outputs refreshed per run of the deferred call: the whole map every 16 runs.
    static constexpr int refresh_batch = 128;

    // The process's one switch, opened on first use (see ProcessWide).
    static HwMux* instance();

    // Used by instance(); tests make their own.
    HwMux();
    ~HwMux();
    HwMux(const HwMux&) = delete;
    HwMux& operator=(const HwMux&) = delete;

    // True when the device is open; otherwise tries to open it now. Opening disables every
    // output and starts the refresh.
    bool IsOpened();

    // The source must be a channel of the switch: the map keeps its two marks above them.
    bool Connect(int source, int output);
    // Drives the idle byte onto the output.
    bool Disconnect(int output);
    bool Disable(int output);
    bool Write(int output, unsigned char value);
    // The byte seen on the channel, 0xFF on any failure.
    unsigned char Read(int channel);
    void Reset() {}

    // One run of the background refresh: the next refresh_batch outputs of the map.
    void OnDPC();
    void RefreshChannel(int index);

private:
    static bool is_output(int channel) { return channel >= first_output && channel < first_output + output_count; }
    void set_entry(int channel, uint16_t value);
    // Disables every output, in order.
    void post_disable_all();
    void post_refresh();
    int request_disable(int output);
    int request_pair(uint32_t code, int first, int second);

    Fd fd_;
    std::array<uint16_t, output_count> map_{};
    uint32_t cursor_ = 0;
    // The disables of the refresh run in progress (in_run_) not sent yet: refresh_count_ outputs
    // from the map index refresh_first_ on.
    bool in_run_ = false;
    size_t refresh_first_ = 0;
    size_t refresh_count_ = 0;
    Dpc refresh_;
};

// A diagnostic: the count and the symbols of the calling thread's innermost ten stack frames, on
// the output stream.
void print_trace();
