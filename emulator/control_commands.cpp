#include "emulator/control_commands.h"

#include "emulator/board.h"

#include <vector>

namespace Emulator {

namespace {

const std::string ok = "ok\n";

std::string error(const std::string& reason) { return "error: " + reason + '\n'; }

template <class Lines>
std::string block(const Lines& lines)
{
    std::string answer = "ok " + std::to_string(lines.size()) + '\n';
    for (const std::string& line : lines)
        answer += line + '\n';
    return answer;
}

bool parse_code(const std::string& text, uint32_t& code)
{
    long long number;
    if (!parse_number(text, number) || number < 0 || number > 0xFFFFFFFFLL)
        return false;
    code = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

std::string ControlCommands::execute(const std::string& line)
{
    Words words = split_words(line);
    if (words.empty())
        return error("empty command");
    const std::string& command = words[0];
    if (command == "journal")
        return journal(words);
    if (command == "state")
        return state(words);
    if (command == "requests")
        return requests(words);
    if (command == "set")
        return set(words);
    if (command == "push")
        return push(words);
    if (command == "script")
        return script(words);
    if (command == "fail")
        return fail(words);
    if (command == "absent" || command == "present")
        return absent(words, command == "absent");
    if (command == "stall" || command == "drain")
        return stall(words, command == "drain");
    if (command == "eof")
        return end_of_file(words);
    return error("unknown command " + command);
}

std::string ControlCommands::journal(const Words& words)
{
    if (words.size() == 1)
        return block(board_.journal().entries());
    if (words.size() == 2 && words[1] == "clear") {
        board_.journal().clear();
        return ok;
    }
    return error("usage: journal [clear]");
}

std::string ControlCommands::state(const Words& words)
{
    if (words.size() < 2)
        return error("usage: state <device> [<words>]");
    Driver* driver = board_.driver(words[1]);
    if (!driver)
        return error("no device " + words[1]);
    Words arguments(words.begin() + 2, words.end());
    std::vector<std::string> lines;
    bool understood = false;
    for (const DeviceModel* model : driver->models)
        understood = model->state(arguments, lines) || understood;
    return understood ? block(lines) : error("no such state of " + words[1]);
}

std::string ControlCommands::requests(const Words& words)
{
    if (words.size() != 2)
        return error("usage: requests <device>");
    Driver* driver = board_.driver(words[1]);
    if (!driver)
        return error("no device " + words[1]);
    std::vector<std::string> lines;
    for (const DeviceModel* model : driver->models)
        for (const RequestType& type : model->requests())
            lines.push_back(code_text(type.code) + ' ' + type.name);
    return block(lines);
}

std::string ControlCommands::set(const Words& words)
{
    if (words.size() < 3)
        return error("usage: set <device> <words>");
    Driver* driver = board_.driver(words[1]);
    if (!driver)
        return error("no device " + words[1]);
    Words arguments(words.begin() + 2, words.end());
    for (DeviceModel* model : driver->models)
        if (model->set(arguments))
            return ok;
    return error("no such setting of " + words[1]);
}

std::string ControlCommands::push(const Words& words)
{
    std::vector<std::vector<uint8_t>> records(words.size() < 3 ? 0 : words.size() - 2);
    for (size_t i = 0; i < records.size(); ++i)
        if (!parse_bytes(words[2 + i], records[i]))
            records.clear();
    if (records.empty())
        return error("usage: push <target> <hex>...");
    OpenFile* file = board_.target(words[1]);
    if (!file)
        return error("no open file " + words[1]);
    std::vector<std::vector<uint8_t>> raised;
    for (std::vector<uint8_t>& record : records) {
        bool raises = true;
        for (const DeviceModel* model : file->driver().models)
            raises = raises && model->raises(*file, record);
        if (raises)
            raised.push_back(std::move(record));
    }
    file->push(std::move(raised));
    return ok;
}

std::string ControlCommands::script(const Words& words)
{
    uint32_t code;
    long long result;
    Override answer;
    if (words.size() < 4 || words.size() > 5 || !parse_code(words[2], code) || !parse_number(words[3], result) ||
        result < 0 || result > 0x7FFFFFFF || (words.size() == 5 && !parse_bytes(words[4], answer.record)))
        return error("usage: script <device> <code> <result> [<hex>]");
    if (!board_.driver(words[1]))
        return error("no device " + words[1]);
    answer.result = static_cast<int>(result);
    board_.overrides().script(words[1], code, std::move(answer));
    return ok;
}

std::string ControlCommands::fail(const Words& words)
{
    uint32_t code;
    int error_number;
    long long count = 1;
    if (words.size() < 4 || words.size() > 5 || !parse_code(words[2], code) || !parse_errno(words[3], error_number) ||
        (words.size() == 5 && (!parse_number(words[4], count) || count < 0 || count > 0xFFFFFFFFLL)))
        return error("usage: fail <device> <code> <errno> [<count>]");
    if (!board_.driver(words[1]))
        return error("no device " + words[1]);
    board_.overrides().fail(words[1], code, error_number, static_cast<unsigned>(count));
    return ok;
}

std::string ControlCommands::absent(const Words& words, bool absent)
{
    if (words.size() != 2)
        return error("usage: absent|present <device>");
    if (!board_.driver(words[1]))
        return error("no device " + words[1]);
    board_.overrides().set_absent(words[1], absent);
    return ok;
}

std::string ControlCommands::stall(const Words& words, bool draining)
{
    if (words.size() != 2)
        return error("usage: stall|drain <target>");
    OpenFile* file = board_.target(words[1]);
    if (!file)
        return error("no open file " + words[1]);
    file->set_draining(draining);
    return ok;
}

std::string ControlCommands::end_of_file(const Words& words)
{
    if (words.size() != 2)
        return error("usage: eof <target>");
    OpenFile* file = board_.target(words[1]);
    if (!file)
        return error("no open file " + words[1]);
    file->end_of_file();
    return ok;
}

}  // namespace Emulator
