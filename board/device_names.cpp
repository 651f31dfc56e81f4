#include "board/device_names.h"

#include "foundation/os/big_endian.h"

#include <cerrno>
#include <cstring>

const char* GetVoiceDevName() { return "/dev/voice"; }
const char* GetMixerDevName() { return "/dev/mixer"; }
const char* GetDTMFDevName() { return "/dev/dtmf"; }
const char* GetDSPDevName() { return "/dev/dsp"; }
const char* GetRtpDevName() { return "/dev/rtp"; }
const char* GetRtpExtDevName() { return "/dev/rtp_ext"; }
const char* GetModemDevName() { return "/dev/mctl"; }
const char* GetMaintenance() { return "/dev/maintenance"; }
const char* GetSpiTdmDevName() { return "/dev/spi_tdm"; }
const char* GetUsbTdmDevName() { return "/dev/usb_tdm"; }

const char* GetCodecAsStr(int codec)
{
    static const char* const names[] = {"unknown",  "g711",     "g723",     "g729", "tonec",
                                        "g711-rtp", "g729-rtp", "g723-rtp", "conf"};
    if (codec < 0 || codec >= static_cast<int>(sizeof names / sizeof names[0]))
        return "invalid";
    return names[codec];
}

RtpErr::RtpErr(int code) : saved_errno(errno), code(code) {}

void RtpErr::Put(std::ostream& out) const { out << std::strerror(saved_errno); }

namespace {

// The multi-line printers: every line indented by two blanks and ended.
std::ostream& line(std::ostream& out) { return out << "  "; }

std::ostream& session_params(std::ostream& out, const char* name, const uint8_t* bytes)
{
    line(out) << name << '\n';
    line(out) << "{\n";
    line(out) << " fd_rtp = " << BigEndian::get_i32(bytes, 0) << '\n';
    line(out) << " pid_rtp = " << BigEndian::get_i32(bytes, 4) << '\n';
    return line(out) << "}\n";
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const rtp_connection_params& params)
{
    const uint8_t* bytes = params.bytes.data();
    line(out) << "rtp_connection_params\n";
    line(out) << "{\n";
    line(out) << " packet_factor = " << BigEndian::get_u16(bytes, 18) << '\n';
    line(out) << " rx_pt = " << BigEndian::get_u16(bytes, 14) << '\n';
    line(out) << " tx_pt = " << BigEndian::get_u16(bytes, 16) << '\n';
    line(out) << " ssrc = " << BigEndian::get_u32(bytes, 24) << '\n';
    return line(out) << "}\n";
}

std::ostream& operator<<(std::ostream& out, const rtp_channel_info& info)
{
    const uint8_t* bytes = info.bytes.data();
    return out << "rtp_channel_info" << " {" << " tdm=" << BigEndian::get_i32(bytes, 0)
               << " dev_no=" << BigEndian::get_i32(bytes, 4) << " chn=" << BigEndian::get_i32(bytes, 8) << " }";
}

std::ostream& operator<<(std::ostream& out, const rtp_attach_session_params& params)
{
    return session_params(out, "rtp_attach_session_params", params.bytes.data());
}

std::ostream& operator<<(std::ostream& out, const rtp_ext_attach_session_params& params)
{
    return session_params(out, "rtp_ext_attach_session_params", params.bytes.data());
}

std::ostream& operator<<(std::ostream& out, const rtp_ext_init_params& params)
{
    line(out) << "rtp_ext_init_params\n";
    line(out) << "{\n";
    line(out) << " etype = " << BigEndian::get_u16(params.bytes.data(), 0) << '\n';
    return line(out) << "}\n";
}
