#pragma once

// The link state of one network interface, decided by the last three samples of its running
// flag so that a single flicker does not count.

#include <deque>
#include <string>

class NetIfDataHolder {
public:
    NetIfDataHolder(int index, const std::string& name) : index_(index), name_(name) {}

    // Takes one sample of the interface; true when the link state changed.
    bool updateNetIf();
    // Applies one sample (non-zero: running); true when the link state changed.
    bool setNetIfStatus(int running);

    // -1 not sampled yet, 0 down, 1 up.
    int linkState() const { return linkState_; }
    // 1 up, 2 down, as the interfaces MIB has them.
    int operStatus() const { return operStatus_; }
    int adminStatus() const { return adminStatus_; }
    int index() const { return index_; }
    const std::string& name() const { return name_; }

private:
    int linkState_ = -1;
    int operStatus_ = 2;
    int adminStatus_ = 2;
    std::deque<int> samples_;
    int index_;
    std::string name_;
};

// A raw packet socket that only serves interface requests; -1 when it cannot be had.
int open_interface_socket();
// The name of the interface with that kernel index, asked on such a socket; empty without one.
std::string interface_name(int sock, int index);
