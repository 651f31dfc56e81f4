#pragma once

// The last known state of one E1 framer, from its driver text file or from the trunk status that
// the E1 and BRI services report; both write the same status text.

#include "asn1/modules/ACP.h"

#include <string>
#include <vector>

class FramerDataHolder {
public:
    // Framer n (1 to 4) reads the driver file of framer n-1 and is trunk n-1; the path is the one
    // to open (fixed_path applied already).
    FramerDataHolder(int number, const std::string& path) : number_(number), path_(path) {}

    // Reads the driver's text (up to a first zero byte); true when any field changed.
    bool setFramerStatus(std::vector<unsigned char>& text);
    // Only the status text and the connected flag follow a trunk state; true when they changed.
    bool setFramerStatus(ACP::TrunkState::NamedNumber state);

    bool connected() const { return connected_; }
    const std::string& status() const { return status_; }
    bool signalLoss() const { return signalLoss_; }
    bool frameAlignLoss() const { return frameAlignLoss_; }
    int negativeSlips() const { return negativeSlips_; }
    int positiveSlips() const { return positiveSlips_; }
    int number() const { return number_; }
    const std::string& path() const { return path_; }

private:
    bool setStatusText(const std::string& text);

    bool connected_ = false;
    std::string status_ = "absent";
    bool signalLoss_ = true;
    bool frameAlignLoss_ = true;
    int negativeSlips_ = 0;
    int positiveSlips_ = 0;
    int number_;
    std::string path_;
};
