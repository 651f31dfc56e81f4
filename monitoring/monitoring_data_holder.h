#pragma once

// The monitoring service's last published state: power, DIP switch, configuration version,
// temperature, software and firmware versions, the controller programs, extension boards,
// emergency phones, termination counters, SNMP trap receivers and set commands, the E1 framers
// and the network links. Setters keep a new value, mirror it into its status file under
// "/var/monitoring/" and tell whether the caller must push it on. The tree is emptied at
// construction and destruction.

#include "monitoring/framer_data_holder.h"
#include "monitoring/net_if_data_holder.h"

#include "asn1/modules/HSP.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/modules/TERM.h"
#include "foundation/util/inet4_addr.h"

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

class MonitoringDataHolder {
public:
    // The value a status-file writer writes.
    struct SaveStatusArg {
        const LGCP::BoardStatusParams* board = nullptr;
        const LGCP::EmPhoneStatusParams* phone = nullptr;
        // A counter or a status.
        int value = 0;
        std::string text;
    };
    using Writer = void (MonitoringDataHolder::*)(FILE* file, const SaveStatusArg* arg);

    MonitoringDataHolder();
    ~MonitoringDataHolder();
    MonitoringDataHolder(const MonitoringDataHolder&) = delete;
    MonitoringDataHolder& operator=(const MonitoringDataHolder&) = delete;

    // True on a change, which the caller pushes on.
    bool setDipValue(int value);
    bool setPowerStatus(const LGCP::POWERStatus& status);
    bool setConfigVersion(unsigned long first, unsigned long long second);
    bool setTemperature(std::string text);
    bool setBuildVersion(std::string text);
    bool setFPGAVersion(std::string text);
    bool setBootVersion(std::string text);
    bool setBoardVersion(std::string text);
    // True only when the status of the board's own controller changed.
    bool setControllerStatus(const LGCP::ControllerInfo& info);

    // What the controller's display command tells; written every time it comes.
    void setBoardStatus(const LGCP::BoardInfo& info);
    void setEmPhoneInfo(const LGCP::EmPhoneInfo& info);
    void setTermCounter(const LGCP::TermCounter& counter);
    void setSnmpTrapReceivers(const ASN1::SEQUENCE_OF<ASN1::IA5String>& receivers);
    void setSnmpCommands(const MON::SnmpSetCommands& commands);
    void setDisplayStatus(const LGCP::DisplayParams& params);

    // The status files. Paths are the board's (through fixed_path).
    void SaveStatusToFile(const char* path, Writer writer, const SaveStatusArg* arg);
    static void CheckForMonDir(const char* path);
    void CheckForMonControllerDir(const INet4::Addr& addr);
    static void ClearMonitorFiles();
    // Drops the board files and the boards kept, as the controller that sent them is gone.
    void ClearControllerFiles();

    void DipStatusSaver(FILE* file, const SaveStatusArg* arg);
    void PowerStatusSaver(FILE* file, const SaveStatusArg* arg);
    void ConfigVersionSaver(FILE* file, const SaveStatusArg* arg);
    // These two also keep the record, once its file could be made.
    void BoardStatusSaver(FILE* file, const SaveStatusArg* arg);
    void PhoneStatusSaver(FILE* file, const SaveStatusArg* arg);
    void TermCounterSaver(FILE* file, const SaveStatusArg* arg);
    void ControllerStatusSaver(FILE* file, const SaveStatusArg* arg);
    void StringParamSaver(FILE* file, const SaveStatusArg* arg);

    const INet4::Addr& ownAddress() const { return ownAddress_; }
    const HSP::ControllerStatus& ownControllerStatus() const { return ownStatus_; }
    // The local controller process found last (-1 for none).
    int controllerPid() const { return controllerPid_; }
    void setControllerPid(int pid) { controllerPid_ = pid; }
    const std::list<LGCP::ControllerInfo>& controllers() const { return controllers_; }
    const LGCP::POWERStatus& powerStatus() const { return power_; }
    const std::list<LGCP::BoardStatusParams>& boards() const { return boards_; }
    const std::list<LGCP::EmPhoneStatusParams>& phones() const { return phones_; }
    const std::list<LGCP::TermCounter>& termCounters() const { return termCounters_; }
    const std::list<std::string>& trapReceivers() const { return trapReceivers_; }
    int dipValue() const { return dip_; }
    uint32_t configVersionFirst() const { return configFirst_; }
    unsigned long long configVersionSecond() const { return configSecond_; }
    const std::string& temperature() const { return temperature_; }
    const std::string& buildVersion() const { return buildVersion_; }
    const std::string& fpgaVersion() const { return fpgaVersion_; }
    const std::string& bootVersion() const { return bootVersion_; }
    const std::string& boardVersion() const { return boardVersion_; }
    const MON::SnmpSetCommands& snmpCommands() const { return commands_; }
    std::list<FramerDataHolder>& framers() { return framers_; }
    std::list<NetIfDataHolder>& interfaces() { return interfaces_; }

private:
    INet4::Addr ownAddress_;
    HSP::ControllerStatus ownStatus_{HSP::ControllerStatus::unknown};
    int controllerPid_ = -1;
    std::list<LGCP::ControllerInfo> controllers_;
    LGCP::POWERStatus power_{LGCP::POWERStatus::unknown};
    std::list<LGCP::BoardStatusParams> boards_;
    std::list<LGCP::EmPhoneStatusParams> phones_;
    std::list<LGCP::TermCounter> termCounters_;
    std::list<std::string> trapReceivers_;
    int dip_ = -1;
    unsigned long long configSecond_ = ~0ull;
    uint32_t configFirst_ = ~0u;
    std::string temperature_;
    std::string buildVersion_;
    std::string fpgaVersion_;
    std::string bootVersion_;
    std::string boardVersion_;
    MON::SnmpSetCommands commands_;
    std::list<FramerDataHolder> framers_;
    std::list<NetIfDataHolder> interfaces_;
};

// The host's address text alone, without the port.
std::string host2str(const TERM::HostAddress& host);
std::string to_string(unsigned value);
