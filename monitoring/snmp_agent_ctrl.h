#pragma once

// The links to the external SNMP agents: the agents of the configuration, the table of MIB items
// (which MIB table and object a monitored value is set under, and which agent address types get
// it), and one pending batch of set commands per address type. Values queued during one reactor
// pass leave together in a deferred send, one snmp-set message per batch and agent.

#include "monitoring/snmp_agent_instance.h"

#include "asn1/modules/MON.h"
#include "foundation/reactor/dpc.h"

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace IniFile {
class Section;
}
class ISnmpAgentNotify;

class SnmpAgentCtrl {
public:
    // The item numbers callers queue values under, named after their MIB objects.
    enum MonitoringItemType {
        driverBuild = 0,
        softwareBuild,
        powerStatus,
        controllerStatus,
        gatewayDip,
        gatewayConfigVersion,
        extBoardStatus,
        extBoardSoftVer,
        extBoardType,
        emPhonePanelSoftVer,
        emPhoneCtrlSoftVer,
        emPhoneFpgaSoftVer,
        emPhoneStatus,
        emPhonePowerStatus,
        emPhoneMode,
        emPhoneHookStatus,
        emPhoneBaseStatus,
        routerTermCnt,
        controllerTermCnt,
        serverTermCnt,
        extBoardTermCnt,
        e1Connected,
        e1StatusDsc,
        e1SignalLoss,
        e1FrameAlignLoss,
        e1NegSlipCount,
        e1PosSlipCount,
        sgBuildVersion,
        sgFPGAVersion,
        sgBootVersion,
        sgBoardVersion,
        ifDescr,
        ifAdminStatus,
        ifOperStatus,
        temperature,
    };

    struct MonitoringItem {
        MonitoringItemType item;
        // The address types (SnmpAgentInstance::MonitoringAddressType bits) whose batches get it.
        int mask;
        std::string table;
        std::string object;
    };

    SnmpAgentCtrl();
    virtual ~SnmpAgentCtrl();
    SnmpAgentCtrl(const SnmpAgentCtrl&) = delete;
    SnmpAgentCtrl& operator=(const SnmpAgentCtrl&) = delete;

    // One agent per sub-section, in file order.
    void CreateInstances(IniFile::Section& section);
    void Bind(ISnmpAgentNotify* listener);
    void UnBind() { Bind(nullptr); }

    // Queues a value for the agents of the item's address types; its text ends at a NUL.
    void Send(MonitoringItemType item, const std::string& value) { Send(item, 0, value); }
    void Send(MonitoringItemType item, int index, const std::string& value);
    // Sent at once to every agent, whatever its type; an empty list sends nothing.
    void Send(const MON::SnmpSetCommands& commands);
    void SendTrapsink(const std::list<std::string>& receivers);

    void OnDpcSend();

    const std::vector<std::unique_ptr<SnmpAgentInstance>>& agents() const { return agents_; }

private:
    void SendToAll(const MON::Command& command);

    std::vector<std::unique_ptr<SnmpAgentInstance>> agents_;
    std::vector<MonitoringItem> items_;
    Dpc send_;
    int uniq_ = 1;
    ISnmpAgentNotify* listener_ = nullptr;
    // By address type: 0 and 1 hold none, 2 and 4 an snmp-set command.
    std::map<int, std::unique_ptr<MON::Command>> batches_;
};
