#include "monitoring/snmp_agent_ctrl.h"

#include "foundation/config/ini_file.h"

#include <algorithm>

namespace {

// Items of "vask" and "lemzgw.qx" agents, of "vask" alone and of "lemzgw.qx" alone; no item goes
// to "lemzgw" agents.
constexpr int both = SnmpAgentInstance::vask | SnmpAgentInstance::lemzgw_qx;
constexpr int vask = SnmpAgentInstance::vask;
constexpr int qx = SnmpAgentInstance::lemzgw_qx;

const struct {
    int mask;
    const char* table;
    const char* object;
} item_table[] = {
    {both, "gatewayCommon", "driverBuild"},
    {both, "gatewayCommon", "softwareBuild"},
    {both, "gatewayCommon", "powerStatus"},
    {both, "gatewayCommon", "controllerStatus"},
    {both, "gatewayCommon", "gatewayDip"},
    {both, "gatewayCommon", "gatewayConfigVersion"},
    {vask, "extBoardTable", "extBoardStatus"},
    {vask, "extBoardTable", "extBoardSoftVer"},
    {vask, "extBoardTable", "extBoardType"},
    {vask, "emPhoneTable", "emPhonePanelSoftVer"},
    {vask, "emPhoneTable", "emPhoneCtrlSoftVer"},
    {vask, "emPhoneTable", "emPhoneFpgaSoftVer"},
    {vask, "emPhoneTable", "emPhoneStatus"},
    {vask, "emPhoneTable", "emPhonePowerStatus"},
    {vask, "emPhoneTable", "emPhoneMode"},
    {vask, "emPhoneTable", "emPhoneHookStatus"},
    {vask, "emPhoneTable", "emPhoneBaseStatus"},
    {both, "gatewayTermCounters", "routerTermCnt"},
    {both, "gatewayTermCounters", "controllerTermCnt"},
    {both, "gatewayTermCounters", "serverTermCnt"},
    {vask, "extBoardTermCntTable", "extBoardTermCnt"},
    {vask, "e1Table", "e1Connected"},
    {vask, "e1Table", "e1StatusDsc"},
    {vask, "e1Table", "e1SignalLoss"},
    {vask, "e1Table", "e1FrameAlignLoss"},
    {vask, "e1Table", "e1NegSlipCount"},
    {vask, "e1Table", "e1PosSlipCount"},
    {qx, "statusGeneral", "sgBuildVersion"},
    {qx, "statusGeneral", "sgFPGAVersion"},
    {qx, "statusGeneral", "sgBootVersion"},
    {qx, "statusGeneral", "sgBoardVersion"},
    {both, "ifTable", "ifDescr"},
    {both, "ifTable", "ifAdminStatus"},
    {both, "ifTable", "ifOperStatus"},
    {vask, "gatewayCommon", "temperature"},
};

}  // namespace

SnmpAgentCtrl::SnmpAgentCtrl()
{
    for (const auto& row : item_table)
        items_.push_back({MonitoringItemType(items_.size()), row.mask, row.table, row.object});
    batches_[0];
    batches_[SnmpAgentInstance::lemzgw];
    for (int type : {vask, qx}) {
        batches_[type] = std::make_unique<MON::Command>();
        batches_[type]->select_snmp_set();
    }
    send_.Bind(this, &SnmpAgentCtrl::OnDpcSend);
}

SnmpAgentCtrl::~SnmpAgentCtrl() = default;

void SnmpAgentCtrl::CreateInstances(IniFile::Section& section)
{
    for (IniFile::SubSection& subsection : section) {
        agents_.push_back(std::make_unique<SnmpAgentInstance>());
        agents_.back()->Bind(listener_);
        agents_.back()->Activate(subsection);
    }
}

void SnmpAgentCtrl::Bind(ISnmpAgentNotify* listener)
{
    listener_ = listener;
    for (const auto& agent : agents_)
        agent->Bind(listener);
}

void SnmpAgentCtrl::Send(MonitoringItemType item, int index, const std::string& value)
{
    auto row = std::find_if(items_.begin(), items_.end(), [item](const MonitoringItem& r) { return r.item == item; });
    if (row == items_.end())
        return;
    for (auto& [type, batch] : batches_) {
        if (!(type & row->mask) || !batch || !batch->get_snmp_set())
            continue;
        MON::SnmpSetCommand command;
        command.set_uniq(uniq_++);
        MON::IniName& name = command.get_id().select_name();
        name.set_section(row->table);
        name.set_name(row->object);
        name.set_index(index);
        command.set_value(value.c_str());
        batch->get_snmp_set()->get_commands().push_back(command);
        send_.Activate();
    }
}

void SnmpAgentCtrl::Send(const MON::SnmpSetCommands& commands)
{
    if (commands.get_commands().empty())
        return;
    MON::Command command;
    command.select_snmp_set() = commands;
    SendToAll(command);
}

void SnmpAgentCtrl::SendTrapsink(const std::list<std::string>& receivers)
{
    if (receivers.empty())
        return;
    MON::Command command;
    auto& trapsinks = command.select_snmp_trapsink_set().get_trapsinks();
    for (const std::string& receiver : receivers) {
        MON::SnmpTrapsink trapsink;
        trapsink.set_host(receiver);
        trapsinks.push_back(trapsink);
    }
    SendToAll(command);
}

void SnmpAgentCtrl::OnDpcSend()
{
    for (auto& [type, batch] : batches_) {
        MON::SnmpSetCommands* commands = batch ? batch->get_snmp_set() : nullptr;
        if (!commands || commands->get_commands().empty())
            continue;
        for (const auto& agent : agents_)
            if (agent->address_type() == type)
                agent->Command(*batch);
        commands->get_commands().clear();
    }
    send_.Deactivate();
}

void SnmpAgentCtrl::SendToAll(const MON::Command& command)
{
    for (const auto& agent : agents_)
        agent->Command(command);
}
