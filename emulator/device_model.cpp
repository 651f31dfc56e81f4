#include "emulator/device_model.h"

#include <algorithm>

namespace Emulator {

std::vector<DeviceModel::Factory>& DeviceModel::registry()
{
    static std::vector<Factory> factories;
    return factories;
}

std::vector<std::unique_ptr<DeviceModel>> DeviceModel::create_registered()
{
    std::vector<std::unique_ptr<DeviceModel>> models;
    for (Factory factory : registry())
        models.push_back(factory());
    return models;
}

const RequestType* DeviceModel::find(uint32_t code) const
{
    for (const RequestType& type : requests_)
        if (type.code == code)
            return &type;
    return nullptr;
}

void DeviceModel::define(RequestType type, Repeats repeats)
{
    repeats_.emplace_back(type.code, std::move(repeats));
    define(std::move(type));
}

const DeviceModel::Repeats* DeviceModel::repeats(uint32_t code) const
{
    for (const auto& [repeated, serve] : repeats_)
        if (repeated == code)
            return &serve;
    return nullptr;
}

Written DeviceModel::write(OpenFile&, const uint8_t*, size_t) { return {}; }

void DeviceModel::file_closed(OpenFile& file)
{
    files_.erase(std::remove(files_.begin(), files_.end(), &file), files_.end());
    closed(file);
}

void DeviceModel::closed(OpenFile&) {}

bool DeviceModel::state(const Words& arguments, std::vector<std::string>&) const { return arguments.empty(); }

bool DeviceModel::set(const Words&) { return false; }

const RequestType* Driver::find(uint32_t code) const
{
    for (const DeviceModel* model : models)
        if (const RequestType* type = model->find(code))
            return type;
    return nullptr;
}

const DeviceModel::Repeats* Driver::repeats(uint32_t code) const
{
    for (const DeviceModel* model : models)
        if (model->find(code))
            return model->repeats(code);
    return nullptr;
}

}  // namespace Emulator
