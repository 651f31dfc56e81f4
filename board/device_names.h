#pragma once

// The paths of the board's character devices, so that every user opens the same name; the codec
// names; the error record of failed RTP driver calls; and text printers of the records exchanged
// with the RTP driver, for diagnostics.

#include <array>
#include <cstdint>
#include <ostream>

const char* GetVoiceDevName();
const char* GetMixerDevName();
const char* GetDTMFDevName();
const char* GetDSPDevName();
const char* GetRtpDevName();
const char* GetRtpExtDevName();
const char* GetModemDevName();
const char* GetMaintenance();
const char* GetSpiTdmDevName();
const char* GetUsbTdmDevName();

// "unknown", "g711", ... for codec numbers 0 to 8; "invalid" for any other.
const char* GetCodecAsStr(int codec);

// A failed RTP driver call: the system error number at construction, and the caller's code.
struct RtpErr {
    int saved_errno;
    int code;

    explicit RtpErr(int code);
    // Writes the system error text of the saved error number.
    void Put(std::ostream& out) const;
};

// Records of the RTP driver, in the board's byte order; their layouts belong to the RTP driver
// interface, and only the fields the printers show are read here.
struct rtp_connection_params {
    std::array<uint8_t, 44> bytes{};
};
struct rtp_channel_info {
    std::array<uint8_t, 12> bytes{};
};
struct rtp_attach_session_params {
    std::array<uint8_t, 8> bytes{};
};
struct rtp_ext_attach_session_params {
    std::array<uint8_t, 8> bytes{};
};
struct rtp_ext_init_params {
    std::array<uint8_t, 20> bytes{};
};

std::ostream& operator<<(std::ostream& out, const rtp_connection_params& params);
std::ostream& operator<<(std::ostream& out, const rtp_channel_info& info);
std::ostream& operator<<(std::ostream& out, const rtp_attach_session_params& params);
std::ostream& operator<<(std::ostream& out, const rtp_ext_attach_session_params& params);
std::ostream& operator<<(std::ostream& out, const rtp_ext_init_params& params);
