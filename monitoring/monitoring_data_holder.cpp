#include "monitoring/monitoring_data_holder.h"

#include "monitoring/status_file.h"

#include "asn1/runtime/value_notation_writer.h"
#include "foundation/os/fixed_path.h"
#include "foundation/os/net.h"
#include "foundation/util/ext_quoted.h"
#include "server/trace_ctl.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <iostream>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string tree = "/var/monitoring/";
const std::string controller_tree = tree + "controller/";
constexpr const char framer_files[] = "/proc/driver/hdlc/peb22554/";
constexpr int framer_count = 4;
constexpr int interface_indexes = 16;
constexpr mode_t directory_mode = 0755;

std::string dotted(const INet4::Addr& address)
{
    const std::string text = address.GetString();
    return text.substr(0, text.find(':'));
}

// The bytes up to a first zero byte, then the end of the line.
void put_line(FILE* file, const std::vector<char>& octets)
{
    const std::string text(octets.begin(), std::find(octets.begin(), octets.end(), '\0'));
    fprintf(file, "%s\n", text.c_str());
}

// A file of the tree named by a word and a number, such as "board2".
std::string numbered(const char* word, const ASN1::INTEGER& number)
{
    return tree + word + std::to_string(number.getValue());
}

bool update_text(std::string& kept, std::string text)
{
    if (kept == text)
        return false;
    kept = std::move(text);
    return true;
}

// Runs fn for every entry of the top level of the tree, with its name and its path.
template <class Fn>
void for_each_top_entry(Fn fn)
{
    const std::string top = fixed_path(tree);
    DIR* directory = opendir(top.c_str());
    if (!directory)
        return;
    while (const dirent* entry = readdir(directory))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            fn(std::string(entry->d_name), top + entry->d_name);
    closedir(directory);
}

// The record takes the place of the kept one with the same key, or joins the list.
template <class Record, class Key>
void keep(std::list<Record>& kept, const Record& record, Key key)
{
    auto same = std::find_if(kept.begin(), kept.end(), [&](const Record& r) { return key(r) == key(record); });
    if (same == kept.end())
        kept.push_back(record);
    else
        *same = record;
}

bool same_identity(const MON::SnmpSetCommandId& a, const MON::SnmpSetCommandId& b)
{
    if (a.get_oid() && b.get_oid())
        return *a.get_oid() == *b.get_oid();
    const MON::IniName* x = a.get_name();
    const MON::IniName* y = b.get_name();
    return x && y && x->get_section() == y->get_section() && x->get_name() == y->get_name() &&
           x->get_index().getValue() == y->get_index().getValue();
}

}  // namespace

std::string host2str(const TERM::HostAddress& host) { return host.get_iaddr().getValue(); }

std::string to_string(unsigned value) { return std::to_string(value); }

MonitoringDataHolder::MonitoringDataHolder()
{
    // A process killed while it wrote a file leaves its temporary file, at any depth.
    remove_stale_temporaries(fixed_path(tree));
    ClearMonitorFiles();
    std::list<INet4::Addr> addresses;
    if (Net::ifconfig(addresses, Net::if_private) > 0)
        ownAddress_ = addresses.front();
    else
        ownAddress_.Assign("127.0.0.1");
    ownAddress_.set_port(0);
    for (int i = 0; i < framer_count; ++i) {
        const std::string path = fixed_path(framer_files + std::to_string(i));
        struct stat status;
        if (stat(path.c_str(), &status) == 0)
            framers_.emplace_back(i + 1, path);
    }
    const int sock = open_interface_socket();
    if (sock >= 0) {
        for (int index = 0; index < interface_indexes; ++index)
            if (const std::string name = interface_name(sock, index); !name.empty())
                interfaces_.emplace_back(index, name);
        close(sock);
    }
    CheckForMonDir(tree.c_str());
    CheckForMonDir((tree + "term_cnts/").c_str());
}

MonitoringDataHolder::~MonitoringDataHolder() { ClearMonitorFiles(); }

bool MonitoringDataHolder::setDipValue(int value)
{
    if (value == dip_)
        return false;
    dip_ = value;
    SaveStatusToFile((tree + "dip").c_str(), &MonitoringDataHolder::DipStatusSaver, nullptr);
    return true;
}

bool MonitoringDataHolder::setPowerStatus(const LGCP::POWERStatus& status)
{
    if (status.getValue() == power_.getValue())
        return false;
    power_.setValue(status.getValue());
    SaveStatusToFile((tree + "powerstatus").c_str(), &MonitoringDataHolder::PowerStatusSaver, nullptr);
    return true;
}

bool MonitoringDataHolder::setConfigVersion(unsigned long first, unsigned long long second)
{
    if (uint32_t(first) == configFirst_ && second == configSecond_)
        return false;
    configFirst_ = uint32_t(first);
    configSecond_ = second;
    SaveStatusToFile((tree + "config_version").c_str(), &MonitoringDataHolder::ConfigVersionSaver, nullptr);
    return true;
}

bool MonitoringDataHolder::setTemperature(std::string text) { return update_text(temperature_, std::move(text)); }
bool MonitoringDataHolder::setBuildVersion(std::string text) { return update_text(buildVersion_, std::move(text)); }
bool MonitoringDataHolder::setFPGAVersion(std::string text) { return update_text(fpgaVersion_, std::move(text)); }
bool MonitoringDataHolder::setBootVersion(std::string text) { return update_text(bootVersion_, std::move(text)); }
bool MonitoringDataHolder::setBoardVersion(std::string text) { return update_text(boardVersion_, std::move(text)); }

bool MonitoringDataHolder::setControllerStatus(const LGCP::ControllerInfo& info)
{
    INet4::Addr address;
    address.Assign(host2str(info.get_host()));
    address.set_port(0);
    const bool own = address.IsEqual(ownAddress_);
    if (own)
        ownStatus_.setValue(info.get_status().getValue());
    auto kept = std::find_if(controllers_.begin(), controllers_.end(),
                             [&](const LGCP::ControllerInfo& c) { return c.get_host() == info.get_host(); });
    bool changed = true;
    if (kept == controllers_.end()) {
        controllers_.push_back(info);
    } else {
        changed = kept->get_status().getValue() != info.get_status().getValue();
        kept->get_status().setValue(info.get_status().getValue());
    }
    if (!changed)
        return false;
    if (traces.monitoring)
        std::clog << "New controller " << dotted(address) << " status - " << info.get_status() << std::endl;
    CheckForMonControllerDir(address);
    SaveStatusArg arg;
    arg.value = info.get_status().getValue();
    SaveStatusToFile((controller_tree + dotted(address) + "/status").c_str(),
                     &MonitoringDataHolder::ControllerStatusSaver, &arg);
    return own;
}

void MonitoringDataHolder::setBoardStatus(const LGCP::BoardInfo& info)
{
    SaveStatusArg arg;
    if ((arg.board = info.get_boardStatus()))
        SaveStatusToFile(numbered("board", arg.board->get_position()).c_str(), &MonitoringDataHolder::BoardStatusSaver,
                         &arg);
}

void MonitoringDataHolder::setEmPhoneInfo(const LGCP::EmPhoneInfo& info)
{
    SaveStatusArg arg;
    if ((arg.phone = info.get_phoneStatus()))
        SaveStatusToFile(numbered("emphone", arg.phone->get_id()).c_str(), &MonitoringDataHolder::PhoneStatusSaver,
                         &arg);
}

void MonitoringDataHolder::setTermCounter(const LGCP::TermCounter& counter)
{
    const bool identified = counter.hasOptionalField(LGCP::TermCounter::Optional::ownerId);
    std::string file;
    switch (counter.get_owner().getValue()) {
    case LGCP::TermCounterOwner::router:
        file = "router";
        break;
    case LGCP::TermCounterOwner::controller:
        file = "controller";
        break;
    case LGCP::TermCounterOwner::server:
        file = "server";
        break;
    case LGCP::TermCounterOwner::extBoard:
        if (identified)
            file = "board" + std::to_string(counter.get_ownerId().getValue());
        break;
    }
    if (!file.empty()) {
        SaveStatusArg arg;
        arg.value = counter.get_cnt().getValue();
        SaveStatusToFile((tree + "term_cnts/" + file).c_str(), &MonitoringDataHolder::TermCounterSaver, &arg);
    }
    // A counter without an owner id matches only a kept one without an id.
    auto kept = std::find_if(termCounters_.begin(), termCounters_.end(), [&](const LGCP::TermCounter& c) {
        if (c.get_owner().getValue() != counter.get_owner().getValue())
            return false;
        if (!c.hasOptionalField(LGCP::TermCounter::Optional::ownerId))
            return true;
        return identified && c.get_ownerId().getValue() == counter.get_ownerId().getValue();
    });
    if (kept == termCounters_.end())
        termCounters_.push_back(counter);
    else
        kept->set_cnt(counter.get_cnt().getValue());
}

void MonitoringDataHolder::setSnmpTrapReceivers(const ASN1::SEQUENCE_OF<ASN1::IA5String>& receivers)
{
    if (traces.monitoring)
        std::clog << "Trap receivers:" << receivers << std::endl;
    trapReceivers_.clear();
    for (const ASN1::IA5String& receiver : receivers)
        trapReceivers_.push_back(receiver.getValue());
}

void MonitoringDataHolder::setSnmpCommands(const MON::SnmpSetCommands& commands)
{
    for (const MON::SnmpSetCommand& command : commands.get_commands()) {
        auto& kept = commands_.get_commands();
        auto same = std::find_if(kept.begin(), kept.end(), [&](const MON::SnmpSetCommand& k) {
            return same_identity(k.get_id(), command.get_id());
        });
        if (same != kept.end())
            same->set_value(command.get_value().getValue());
        else
            kept.push_back(command);
        const MON::IniName* name = command.get_id().get_name();
        if (!name)
            continue;
        const std::string& section = name->get_section().getValue();
        const std::string& file = name->get_name().getValue();
        if (!safe_file_name(section) || !safe_file_name(file)) {
            std::clog << "monitoring file of an unsafe name not written: section "
                      << ext::quoted(section.substr(0, 64).c_str()) << " name "
                      << ext::quoted(file.substr(0, 64).c_str()) << std::endl;
            continue;
        }
        const std::string directory = tree + section + "/" + std::to_string(name->get_index().getValue());
        CheckForMonDir((tree + section).c_str());
        CheckForMonDir(directory.c_str());
        SaveStatusArg arg;
        arg.text = command.get_value().getValue();
        SaveStatusToFile((directory + "/" + file).c_str(), &MonitoringDataHolder::StringParamSaver, &arg);
    }
}

void MonitoringDataHolder::setDisplayStatus(const LGCP::DisplayParams& params)
{
    if (const LGCP::BoardInfo* board = params.get_board())
        setBoardStatus(*board);
    else if (const auto* receivers = params.get_snmpTrapReceivers())
        setSnmpTrapReceivers(*receivers);
    else if (const LGCP::EmPhoneInfo* phone = params.get_emPhone())
        setEmPhoneInfo(*phone);
    else if (const LGCP::ControllerInfo* controller = params.get_controller())
        setControllerStatus(*controller);
    else if (const LGCP::TermCounter* counter = params.get_termCounter())
        setTermCounter(*counter);
    else if (const MON::SnmpSetCommands* commands = params.get_snmp_set())
        setSnmpCommands(*commands);
}

void MonitoringDataHolder::SaveStatusToFile(const char* path, Writer writer, const SaveStatusArg* arg)
{
    const std::string real = fixed_path(path);
    StatusFile file(real);
    if (file.stream()) {
        (this->*writer)(file.stream(), arg);
        if (file.commit())
            return;
    }
    std::clog << "FAIL create temporary file <" << real << "> with code=" << errno << std::endl;
}

void MonitoringDataHolder::CheckForMonDir(const char* path)
{
    const std::string real = fixed_path(path);
    if (DIR* directory = opendir(real.c_str())) {
        closedir(directory);
        return;
    }
    if (mkdir(real.c_str(), directory_mode) != 0)
        std::clog << "FAIL create monitoring catalog <" << real << "> with code=" << errno << std::endl;
}

void MonitoringDataHolder::CheckForMonControllerDir(const INet4::Addr& addr)
{
    CheckForMonDir(controller_tree.c_str());
    const std::string top = fixed_path(controller_tree);
    struct stat status;
    if (stat(top.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return;
    const std::string directory = top + dotted(addr);
    CheckForMonDir((controller_tree + dotted(addr)).c_str());
    // Also after a restart on another address: "self" always names the board's own controller.
    if (addr.IsEqual(ownAddress_) && !replace_symlink(directory, top + "self"))
        std::clog << "FAIL create symlink to monitoring catalog <" << directory << "> with code=" << errno
                  << std::endl;
}

void MonitoringDataHolder::ClearMonitorFiles()
{
    for_each_top_entry([](const std::string&, const std::string& path) { remove(path.c_str()); });
}

void MonitoringDataHolder::ClearControllerFiles()
{
    for_each_top_entry([](const std::string& name, const std::string& path) {
        if (name.compare(0, 5, "board") != 0)
            return;
        if (traces.monitoring)
            std::clog << "remove monitoring info: " << name << std::endl;
        remove(path.c_str());
    });
    boards_.clear();
}

void MonitoringDataHolder::DipStatusSaver(FILE* file, const SaveStatusArg*) { fprintf(file, "%d", dip_); }

void MonitoringDataHolder::PowerStatusSaver(FILE* file, const SaveStatusArg*)
{
    const int status = power_.getValue();
    fprintf(file, "%d", status >= LGCP::POWERStatus::standby && status <= LGCP::POWERStatus::both ? status : 0);
}

void MonitoringDataHolder::ConfigVersionSaver(FILE* file, const SaveStatusArg*)
{
    fprintf(file, "%08" PRIx32 "-%016llx", configFirst_, configSecond_);
}

void MonitoringDataHolder::BoardStatusSaver(FILE* file, const SaveStatusArg* arg)
{
    const LGCP::BoardStatusParams& board = *arg->board;
    fprintf(file, "%d\n", board.get_status().getValue());
    put_line(file, board.get_version().getValue());
    fprintf(file, "%d\n", board.get_type().getValue());
    keep(boards_, board, [](const LGCP::BoardStatusParams& b) { return b.get_position().getValue(); });
}

void MonitoringDataHolder::PhoneStatusSaver(FILE* file, const SaveStatusArg* arg)
{
    const LGCP::EmPhoneStatusParams& phone = *arg->phone;
    for (const ASN1::OCTET_STRING* version : {&phone.get_panelSV(), &phone.get_ctrlSV(), &phone.get_fpgaSV()})
        put_line(file, version->getValue());
    for (const ASN1::ENUMERATED* number : std::initializer_list<const ASN1::ENUMERATED*>{
             &phone.get_status(), &phone.get_powerStatus(), &phone.get_mode(), &phone.get_hookStatus(),
             &phone.get_baseStatus()})
        fprintf(file, "%d\n", number->getValue());
    keep(phones_, phone, [](const LGCP::EmPhoneStatusParams& p) { return p.get_id().getValue(); });
}

void MonitoringDataHolder::TermCounterSaver(FILE* file, const SaveStatusArg* arg) { fprintf(file, "%d", arg->value); }

void MonitoringDataHolder::ControllerStatusSaver(FILE* file, const SaveStatusArg* arg)
{
    fprintf(file, "%d", arg->value);
}

void MonitoringDataHolder::StringParamSaver(FILE* file, const SaveStatusArg* arg) { fputs(arg->text.c_str(), file); }
