#include "monitoring/monitoring_ctl.h"

#include "foundation/config/ini_file.h"
#include "foundation/log/version.h"
#include "foundation/os/device.h"
#include "foundation/os/find_proc.h"
#include "foundation/os/fixed_path.h"
#include "foundation/util/ext_quoted.h"
#include "server/trace_ctl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned first_bkg_check_ms = 1000;
constexpr unsigned bkg_check_ms = 60000;
constexpr unsigned power_check_ms = 2000;
constexpr unsigned controller_check_ms = 5000;

// Requests of "/dev/hal", each on one byte.
constexpr uint32_t led_request = 0xC0014207;
constexpr uint32_t dip_request = 0xC0014205;
constexpr uint32_t power_request = 0xC0014206;

constexpr char config_directory[] = "/usr/local/etc/";
constexpr char config_prefix[] = "config.";
constexpr char config_backup[] = "config.2save.tar.bz2";
constexpr size_t framer_read_limit = 1024;
// Line reads: at most 254 characters of a version or temperature line, 126 of the driver's.
constexpr int line_limit = 255;
constexpr int driver_line_limit = 127;

const char* const whitespace = " \t\n\r\f\v";

enum class LineRead { no_file, nothing, line };

// The first line of a text file, newline kept, at most limit - 1 characters; empty when the file
// does not open or holds nothing.
LineRead first_line(const std::string& path, int limit, std::string& line)
{
    line.clear();
    FILE* file = std::fopen(fixed_path(path).c_str(), "r");
    if (!file)
        return LineRead::no_file;
    std::vector<char> buffer(limit + 1, '\0');
    const bool read = std::fgets(buffer.data(), limit, file) != nullptr;
    std::fclose(file);
    line = buffer.data();
    return read ? LineRead::line : LineRead::nothing;
}

// The hexadecimal digits at the start of the text; false when it starts with none.
template <class Number>
bool leading_hex(const std::string& text, Number& value)
{
    std::istringstream in(text);
    return bool(in >> std::hex >> value);
}

// "2.1.0 [build7 extra]" from the driver's version line "voice 2.1.0 build7 extra": tokens at
// single blanks, each trimmed of white space, the first and any after the fourth unused.
std::string driver_build(const std::string& line)
{
    std::vector<std::string> tokens;
    for (size_t start = 0; start < line.size();) {
        const size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            const std::string token = line.substr(start, end - start);
            const size_t first = token.find_first_not_of(whitespace);
            tokens.push_back(first == std::string::npos
                                 ? std::string()
                                 : token.substr(first, token.find_last_not_of(whitespace) - first + 1));
        }
        start = end + 1;
    }
    if (tokens.size() >= 4)
        return tokens[1] + " [" + tokens[2] + " " + tokens[3] + "]";
    if (tokens.size() == 3)
        return tokens[1] + " [" + tokens[2] + "]";
    return "none";
}

std::string octets(const ASN1::OCTET_STRING& value)
{
    const std::vector<char>& bytes = value.getValue();
    return std::string(bytes.begin(), bytes.end());
}

std::string decimal(int value) { return std::to_string(value); }

std::string dotted(const INet4::Addr& address)
{
    const std::string text = address.GetString();
    return text.substr(0, text.find(':'));
}

}  // namespace

MonitoringCtl* MonitoringCtl::instance()
{
    static MonitoringCtl service;
    return &service;
}

MonitoringCtl::MonitoringCtl()
{
    bkgTimer_.set(first_bkg_check_ms, &MonitoringCtl::onBkgCheckTimer, this);
    powerTimer_.set(power_check_ms, &MonitoringCtl::onPowerCheckTimer, this);
    controllerTimer_.set(controller_check_ms, &MonitoringCtl::onControllerCheckTimer, this);
    push_.Bind(this, &MonitoringCtl::OnDpcSend);
}

MonitoringCtl::~MonitoringCtl()
{
    if (board_) {
        leds_ = 0;
        writeLeds();
        board_.close();
    }
    push_.Deactivate();
    agents_.UnBind();
}

void MonitoringCtl::Configure(IniFile::File& file)
{
    agents_.CreateInstances(file["snmpagent"]);
    agents_.Bind(this);
}

void MonitoringCtl::OnConnect()
{
    doPowerCheck();
    sendPowerStatus();
    doControllerCheck();
}

void MonitoringCtl::OnDisconnect()
{
    holder_.ClearControllerFiles();
    doControllerCheck();
}

bool MonitoringCtl::OnCommand(const LGCP::Command& command)
{
    const LGCP::DisplayParams* params = command.get_display();
    if (!params)
        return false;
    OnDisplayCMD(*params);
    Success();
    return true;
}

void MonitoringCtl::OnSignal(const LGCP::Signal& signal)
{
    // A BRI line shares its number with an E1 trunk, but only E1 trunks have framers.
    const ACP::TrunkStatus* status = signal.get_trunkStatus();
    if (!status || status->get_type().getValue() != ACP::TrunkType::e1)
        return;
    const int trunk = status->get_trunk().getValue();
    const auto state = ACP::TrunkState::NamedNumber(status->get_state().getValue());
    bool changed = false;
    for (FramerDataHolder& framer : holder_.framers())
        if (framer.number() - 1 == trunk)
            changed |= framer.setFramerStatus(state);
    if (changed)
        push_.Activate();
}

void MonitoringCtl::OnDisplayCMD(const LGCP::DisplayParams& params)
{
    holder_.setDisplayStatus(params);
    if (const LGCP::BoardInfo* board = params.get_board()) {
        if (const LGCP::BoardStatusParams* status = board->get_boardStatus())
            sendSnmpBoardStatus(*status);
    } else if (params.get_snmpTrapReceivers()) {
        sendSnmpTrapReceivers();
    } else if (const LGCP::FramerInfo* framer = params.get_framer()) {
        setFramerLed(*framer);
    } else if (const LGCP::EmPhoneInfo* phone = params.get_emPhone()) {
        if (const LGCP::EmPhoneStatusParams* status = phone->get_phoneStatus())
            sendSnmpEmPhoneStatus(*status);
    } else if (params.get_controller()) {
        sendSnmpControllerStatus();
    } else if (params.get_termCounter()) {
        sendSnmpRouterTermCnt();
        sendSnmpControllerTermCnt();
        sendSnmpServerTermCnt();
        sendSnmpBoardTermCnt();
    } else if (const MON::SnmpSetCommands* commands = params.get_snmp_set()) {
        sendSnmpCommands(*commands);
    }
}

void MonitoringCtl::setFramerLed(const LGCP::FramerInfo& info)
{
    if (!IsOpen())
        return;
    const int n = info.get_e1().getValue();
    const uint8_t link_down = uint8_t(1u << (2 * n)), line_up = uint8_t(1u << (2 * n + 1));
    const LGCP::FramerInfoData& data = info.get_info();
    if (const ASN1::BOOLEAN* link = data.get_link()) {
        leds_ = link->getValue() ? leds_ & ~link_down : leds_ | link_down;
    } else if (const ASN1::BOOLEAN* line = data.get_line()) {
        // A line that comes up shows its link down until a link report comes.
        if (!line->getValue())
            leds_ &= ~(line_up | link_down);
        else
            leds_ |= (leds_ & line_up ? 0 : link_down) | line_up;
    }
    writeLeds();
}

bool MonitoringCtl::IsOpen()
{
    if (board_)
        return true;
    leds_ = 0;
    board_ = Device::open("/dev/hal", O_RDWR);
    if (!board_)
        return false;
    writeLeds();
    return true;
}

bool MonitoringCtl::readBoardByte(uint32_t request, uint8_t& byte)
{
    byte = 0;
    return IsOpen() && Device::request_inout(board_, request, &byte, 1) >= 0;
}

void MonitoringCtl::writeLeds()
{
    uint8_t byte = leds_;
    Device::request_inout(board_, led_request, &byte, 1);
}

void MonitoringCtl::onBkgCheckTimer(Timer*)
{
    doVersionsCheck();
    doConfigCheck();
    doFramerCheck();
    doTemperatureCheck();
    bkgTimer_.set(bkg_check_ms, &MonitoringCtl::onBkgCheckTimer, this);
}

void MonitoringCtl::onPowerCheckTimer(Timer*)
{
    doPowerCheck();
    doDipCheck();
    doNetIfCheck();
    powerTimer_.set(power_check_ms, &MonitoringCtl::onPowerCheckTimer, this);
}

void MonitoringCtl::onControllerCheckTimer(Timer*)
{
    doControllerCheck();
    controllerTimer_.set(controller_check_ms, &MonitoringCtl::onControllerCheckTimer, this);
}

void MonitoringCtl::doVersionsCheck()
{
    const struct {
        const char* path;
        bool (MonitoringDataHolder::*store)(std::string);
        const char* label;
        void (MonitoringCtl::*push)();
    } versions[] = {
        {"/var/version", &MonitoringDataHolder::setBuildVersion, "BuildVersion - ",
         &MonitoringCtl::sendSnmpStatusBuildVersion},
        {"/var/u-boot-version", &MonitoringDataHolder::setBootVersion, "BootVersion - ",
         &MonitoringCtl::sendSnmpStatusBootVersion},
        {"/var/fpga-version", &MonitoringDataHolder::setFPGAVersion, "FPGAVersion - ",
         &MonitoringCtl::sendSnmpStatusFPGAVersion},
        {"/var/board-version", &MonitoringDataHolder::setBoardVersion, "BoardVersion - ",
         &MonitoringCtl::sendSnmpStatusBoardVersion},
    };
    for (const auto& version : versions) {
        std::string text;
        if (first_line(version.path, line_limit, text) == LineRead::no_file)
            continue;
        if (traces.monitoring)
            std::clog << version.label << text << std::endl;
        if ((holder_.*version.store)(text))
            (this->*version.push)();
    }
}

void MonitoringCtl::doConfigCheck()
{
    const std::string directory_path = fixed_path(config_directory);
    DIR* directory = opendir(directory_path.c_str());
    if (!directory)
        return;
    // From here on every relative path of the process resolves in the configuration directory.
    if (chdir(directory_path.c_str()) != 0 && traces.monitoring)
        std::clog << "Error chdir: " << ext::quoted(directory_path.c_str()) << " errno=\"" << std::strerror(errno)
                  << '"' << std::endl;
    const size_t prefix = std::strlen(config_prefix);
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        struct stat status;
        if (lstat((directory_path + name).c_str(), &status) != 0 || S_ISDIR(status.st_mode))
            continue;
        if (name.compare(0, prefix, config_prefix) != 0 || name.rfind(config_backup, 0) == 0)
            continue;
        // "config.<8 hex digits><separator><16 hex digits>", anything after that ignored. A name
        // whose fields hold no hex digits gives no version.
        const std::string fields = name.substr(prefix, 25);
        uint32_t first = 0;
        unsigned long long second = 0;
        if (fields.size() < 10 || !leading_hex(fields.substr(0, 8), first) || !leading_hex(fields.substr(9), second))
            continue;
        if (holder_.setConfigVersion(first, second))
            sendSnmpGatewayConfigVersion();
    }
    closedir(directory);
}

void MonitoringCtl::doFramerCheck()
{
    for (FramerDataHolder& framer : holder_.framers()) {
        const int fd = ::open(framer.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (traces.monitoring)
                std::clog << "Error open file: " << ext::quoted(framer.path().c_str()) << " errno=\""
                          << std::strerror(errno) << '"' << std::endl;
            continue;
        }
        std::vector<unsigned char> text(framer_read_limit);
        const ssize_t length = ::read(fd, text.data(), text.size());
        const int error = errno;
        ::close(fd);
        if (length <= 0) {
            if (traces.monitoring)
                std::clog << "Error read file: " << ext::quoted(framer.path().c_str()) << " errno=\""
                          << std::strerror(error) << '"' << std::endl;
            continue;
        }
        text.resize(length);
        if (framer.setFramerStatus(text))
            sendSnmpFramerStatus(framer);
    }
}

void MonitoringCtl::doTemperatureCheck()
{
    std::string line;
    if (first_line("/proc/temperature", line_limit, line) == LineRead::no_file)
        return;
    if (traces.monitoring)
        std::clog << "Temperature - " << line << std::endl;
    if (holder_.setTemperature(line.substr(0, line.find_first_of(whitespace))))
        sendSnmpTemperature();
}

void MonitoringCtl::doPowerCheck()
{
    uint8_t raw;
    if (!readBoardByte(power_request, raw))
        return;
    // The driver says 0 when both supplies feed the board.
    LGCP::POWERStatus status;
    status.setValue(raw == 0 ? int(LGCP::POWERStatus::both) : raw <= 3 ? int(raw) : int(LGCP::POWERStatus::unknown));
    if (!holder_.setPowerStatus(status))
        return;
    if (traces.monitoring)
        std::clog << "New power status - " << status << std::endl;
    sendPowerStatus();
    sendSnmpPowerStatus();
}

void MonitoringCtl::doDipCheck()
{
    uint8_t dip;
    if (!readBoardByte(dip_request, dip))
        return;
    if (!holder_.setDipValue(dip))
        return;
    if (traces.monitoring)
        std::clog << "New dip - " << int(dip) << std::endl;
    sendSnmpGatewayDip();
}

void MonitoringCtl::doNetIfCheck()
{
    for (NetIfDataHolder& interface : holder_.interfaces())
        if (interface.updateNetIf())
            sendSnmpNetIfStatus(interface);
}

void MonitoringCtl::doControllerCheck()
{
    LGCP::ControllerInfo info;
    info.get_host().set_iaddr(dotted(holder_.ownAddress()));
    info.get_host().set_port(0);
    bool connected = false;
    if (CheckServerConnection(connected) && connected) {
        info.get_status().setValue(holder_.ownControllerStatus().getValue());
    } else {
        const int pid = find_proc_by_name("controller", holder_.controllerPid());
        holder_.setControllerPid(pid);
        info.get_status().setValue(pid < 1 ? HSP::ControllerStatus::notrun : HSP::ControllerStatus::notconnection);
    }
    if (holder_.setControllerStatus(info))
        sendSnmpControllerStatus();
}

void MonitoringCtl::sendPowerStatus()
{
    LGCP::Signal signal;
    signal.select_power().setValue(holder_.powerStatus().getValue());
    SendSignal(signal);
}

void MonitoringCtl::sendSnmpDriverBuild()
{
    std::string line;
    if (first_line("/proc/voice/version", driver_line_limit, line) == LineRead::line)
        agents_.Send(SnmpAgentCtrl::driverBuild, driver_build(line));
}

void MonitoringCtl::sendSnmpSoftwareBuild()
{
    std::ostringstream version;
    version << Version::current;
    agents_.Send(SnmpAgentCtrl::softwareBuild, version.str());
}

void MonitoringCtl::sendSnmpPowerStatus()
{
    agents_.Send(SnmpAgentCtrl::powerStatus, to_string(unsigned(holder_.powerStatus().getValue())));
}

void MonitoringCtl::sendSnmpControllerStatus()
{
    agents_.Send(SnmpAgentCtrl::controllerStatus, to_string(unsigned(holder_.ownControllerStatus().getValue())));
}

void MonitoringCtl::sendSnmpGatewayDip()
{
    agents_.Send(SnmpAgentCtrl::gatewayDip, to_string(unsigned(holder_.dipValue())));
}

void MonitoringCtl::sendSnmpGatewayConfigVersion()
{
    agents_.Send(SnmpAgentCtrl::gatewayConfigVersion, to_string(holder_.configVersionFirst()));
}

void MonitoringCtl::sendSnmpTemperature() { agents_.Send(SnmpAgentCtrl::temperature, holder_.temperature()); }

void MonitoringCtl::sendSnmpStatusBuildVersion()
{
    agents_.Send(SnmpAgentCtrl::sgBuildVersion, holder_.buildVersion());
}

void MonitoringCtl::sendSnmpStatusFPGAVersion() { agents_.Send(SnmpAgentCtrl::sgFPGAVersion, holder_.fpgaVersion()); }

void MonitoringCtl::sendSnmpStatusBootVersion() { agents_.Send(SnmpAgentCtrl::sgBootVersion, holder_.bootVersion()); }

void MonitoringCtl::sendSnmpStatusBoardVersion()
{
    agents_.Send(SnmpAgentCtrl::sgBoardVersion, holder_.boardVersion());
}

void MonitoringCtl::sendSnmpBoardStatus(const LGCP::BoardStatusParams& board)
{
    const int position = board.get_position().getValue();
    agents_.Send(SnmpAgentCtrl::extBoardStatus, position, decimal(board.get_status().getValue()));
    agents_.Send(SnmpAgentCtrl::extBoardSoftVer, position, octets(board.get_version()));
    agents_.Send(SnmpAgentCtrl::extBoardType, position, decimal(board.get_type().getValue()));
}

void MonitoringCtl::sendSnmpBoardStatuses()
{
    for (const LGCP::BoardStatusParams& board : holder_.boards())
        sendSnmpBoardStatus(board);
}

void MonitoringCtl::sendSnmpEmPhoneStatus(const LGCP::EmPhoneStatusParams& phone)
{
    // Phone rows of the MIB count from 1.
    const int index = phone.get_id().getValue() + 1;
    agents_.Send(SnmpAgentCtrl::emPhonePanelSoftVer, index, octets(phone.get_panelSV()));
    agents_.Send(SnmpAgentCtrl::emPhoneCtrlSoftVer, index, octets(phone.get_ctrlSV()));
    agents_.Send(SnmpAgentCtrl::emPhoneFpgaSoftVer, index, octets(phone.get_fpgaSV()));
    agents_.Send(SnmpAgentCtrl::emPhoneStatus, index, decimal(phone.get_status().getValue()));
    agents_.Send(SnmpAgentCtrl::emPhonePowerStatus, index, decimal(phone.get_powerStatus().getValue()));
    agents_.Send(SnmpAgentCtrl::emPhoneMode, index, decimal(phone.get_mode().getValue()));
    agents_.Send(SnmpAgentCtrl::emPhoneHookStatus, index, decimal(phone.get_hookStatus().getValue()));
    agents_.Send(SnmpAgentCtrl::emPhoneBaseStatus, index, decimal(phone.get_baseStatus().getValue()));
}

void MonitoringCtl::sendSnmpEmPhoneStatuses()
{
    for (const LGCP::EmPhoneStatusParams& phone : holder_.phones())
        sendSnmpEmPhoneStatus(phone);
}

void MonitoringCtl::sendTermCounters(SnmpAgentCtrl::MonitoringItemType item, int owner)
{
    for (const LGCP::TermCounter& counter : holder_.termCounters())
        if (counter.get_owner().getValue() == owner)
            agents_.Send(item, to_string(unsigned(counter.get_cnt().getValue())));
}

void MonitoringCtl::sendSnmpRouterTermCnt() { sendTermCounters(SnmpAgentCtrl::routerTermCnt, LGCP::TermCounterOwner::router); }

void MonitoringCtl::sendSnmpControllerTermCnt()
{
    sendTermCounters(SnmpAgentCtrl::controllerTermCnt, LGCP::TermCounterOwner::controller);
}

void MonitoringCtl::sendSnmpServerTermCnt() { sendTermCounters(SnmpAgentCtrl::serverTermCnt, LGCP::TermCounterOwner::server); }

void MonitoringCtl::sendSnmpBoardTermCnt()
{
    for (const LGCP::TermCounter& counter : holder_.termCounters())
        if (counter.get_owner().getValue() == LGCP::TermCounterOwner::extBoard &&
            counter.hasOptionalField(LGCP::TermCounter::Optional::ownerId))
            agents_.Send(SnmpAgentCtrl::extBoardTermCnt, counter.get_ownerId().getValue(),
                         to_string(unsigned(counter.get_cnt().getValue())));
}

void MonitoringCtl::sendSnmpFramerStatus(const FramerDataHolder& framer)
{
    const int index = framer.number();
    agents_.Send(SnmpAgentCtrl::e1Connected, index, decimal(framer.connected()));
    agents_.Send(SnmpAgentCtrl::e1StatusDsc, index, framer.status());
    agents_.Send(SnmpAgentCtrl::e1SignalLoss, index, decimal(framer.signalLoss()));
    agents_.Send(SnmpAgentCtrl::e1FrameAlignLoss, index, decimal(framer.frameAlignLoss()));
    agents_.Send(SnmpAgentCtrl::e1NegSlipCount, index, decimal(framer.negativeSlips()));
    agents_.Send(SnmpAgentCtrl::e1PosSlipCount, index, decimal(framer.positiveSlips()));
}

void MonitoringCtl::sendSnmpFramerStatus()
{
    for (const FramerDataHolder& framer : holder_.framers())
        sendSnmpFramerStatus(framer);
}

void MonitoringCtl::sendSnmpNetIfStatus(const NetIfDataHolder& interface)
{
    const int index = interface.index();
    agents_.Send(SnmpAgentCtrl::ifOperStatus, index, decimal(interface.operStatus()));
    agents_.Send(SnmpAgentCtrl::ifAdminStatus, index, decimal(interface.adminStatus()));
    agents_.Send(SnmpAgentCtrl::ifDescr, index, interface.name());
}

void MonitoringCtl::sendSnmpNetIfStatus()
{
    for (const NetIfDataHolder& interface : holder_.interfaces())
        sendSnmpNetIfStatus(interface);
}

void MonitoringCtl::sendSnmpTrapReceivers() { agents_.SendTrapsink(holder_.trapReceivers()); }

void MonitoringCtl::sendSnmpCommands() { agents_.Send(holder_.snmpCommands()); }

void MonitoringCtl::sendSnmpCommands(const MON::SnmpSetCommands& commands) { agents_.Send(commands); }

void MonitoringCtl::OnSnmpAgentConnect(const std::string&) { push_.Activate(); }

void MonitoringCtl::OnDpcSend()
{
    sendSnmpTrapReceivers();
    sendSnmpDriverBuild();
    sendSnmpSoftwareBuild();
    sendSnmpPowerStatus();
    sendSnmpControllerStatus();
    sendSnmpGatewayDip();
    sendSnmpGatewayConfigVersion();
    sendSnmpTemperature();
    sendSnmpStatusBuildVersion();
    sendSnmpStatusFPGAVersion();
    sendSnmpStatusBootVersion();
    sendSnmpStatusBoardVersion();
    sendSnmpBoardStatuses();
    // Every phone twice, as the agents have always been sent them.
    sendSnmpEmPhoneStatuses();
    sendSnmpEmPhoneStatuses();
    sendSnmpRouterTermCnt();
    sendSnmpControllerTermCnt();
    sendSnmpServerTermCnt();
    sendSnmpBoardTermCnt();
    sendSnmpFramerStatus();
    sendSnmpNetIfStatus();
    sendSnmpCommands();
    push_.Deactivate();
}
