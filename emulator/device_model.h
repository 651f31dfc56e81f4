#pragma once

// A device model: one piece of a board driver as the emulator plays it. Each model lives in one
// file and registers itself there:
//
//     const DeviceModel::Registration<TdmSwitch> registration;
//
// A model serves one device path; several models may serve the same path (the TDM switch, the
// clock select and the SPI registers all answer on "/dev/hal"), each with its own request codes.
// The same code means different things on different devices, so requests are looked up by
// (device, code). Models declare their requests with `define`; the board checks the argument,
// applies the test's faults and scripted answers, writes the journal and calls the handler.

#include "emulator/text.h"
#include "foundation/os/device_link.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Emulator {

class OpenFile;

// One driver request as a handler sees it. A record is filled in place.
struct Call {
    OpenFile& file;
    uint32_t code;
    uint32_t value;   // the by-value argument
    uint8_t* record;  // the record argument
    size_t size;
    std::string note;  // added to the journal entry after the result, such as what a read found
    // The journal's fields in place of the named words, for a record that is not all 32-bit words.
    std::string fields;
};

struct Answer {
    int result = 0;
    int error = 0;         // errno of a failure; the result is then -1
    bool journal = true;   // false keeps a routine request out of the journal

    static Answer failure(int error) { return {-1, error}; }
};

struct RequestType {
    uint32_t code;
    std::string name;  // the request's name in the journal
    DeviceLink::Argument argument;
    size_t size;  // of the record
    // Names of the 32-bit signed words of the record, or of the by-value argument, for the journal.
    std::vector<std::string> fields;
    std::function<Answer(Call&)> handler;
};

// What a model made of a record the daemon wrote, for the journal.
struct Written {
    std::string name;  // empty: not this model's write
    std::string fields;
    bool journal = true;  // false keeps a routine write out of the journal
};

class DeviceModel {
public:
    using Clock = std::chrono::steady_clock;

    template <class Model>
    struct Registration {
        Registration()
        {
            registry().push_back([]() -> std::unique_ptr<DeviceModel> { return std::make_unique<Model>(); });
        }
    };

    // One instance of every registered model.
    static std::vector<std::unique_ptr<DeviceModel>> create_registered();

    explicit DeviceModel(std::string path) : path_(std::move(path)) {}
    virtual ~DeviceModel() = default;
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;

    const std::string& path() const { return path_; }
    const RequestType* find(uint32_t code) const;
    const std::vector<RequestType>& requests() const { return requests_; }
    // For a request the daemon posts by the thousand: serves the leading requests of a posted run
    // as long as each changes nothing worth a journal line, and returns how many; the request's
    // handler serves the next one. `listed` takes a run whose records follow each other, `counted`
    // a counting run by its first record (DeviceLink::counted_record).
    struct Repeats {
        std::function<size_t(const uint8_t* records, size_t count)> listed;
        std::function<size_t(const uint8_t* first, size_t count)> counted;
    };
    // What serves the repeats of a request of this model (null: its handler serves them all).
    const Repeats* repeats(uint32_t code) const;

    virtual Written write(OpenFile& file, const uint8_t* data, size_t size);
    // The board reports every open and the driver's close of the device.
    void file_opened(OpenFile& file) { files_.push_back(&file); }
    void file_closed(OpenFile& file);
    // Lines of a state query. Without arguments every model of the device adds its lines; with
    // arguments, false when they are not this model's.
    virtual bool state(const Words& arguments, std::vector<std::string>& lines) const;
    // A "set" command of the test control; false when it is not this model's or is malformed.
    virtual bool set(const Words& arguments);
    // Whether the driver could hand the daemon this record on the open now; a pushed record that
    // it could not is dropped (the RTP driver raises PD events only while they are enabled).
    virtual bool raises(const OpenFile&, const std::vector<uint8_t>&) const { return true; }
    // Timed work, such as a channel that runs at a line rate: when it is next due (nothing
    // timed: none), and the work, which the board runs once that time has come. Afterwards the
    // model is due later than `now`, or not at all.
    virtual std::optional<Clock::time_point> due() const { return std::nullopt; }
    virtual void run_due(Clock::time_point) {}
    // The send buffer of the daemon's end of every open of the device, 0 for the system's: a
    // driver with a short queue holds the daemon's writes back once its queue is full.
    virtual int send_buffer() const { return 0; }

    // The board's root directory, where models write what a test reads as a file.
    static const std::string& root() { return root_; }
    static void set_root(const std::string& root) { root_ = root; }

protected:
    void define(RequestType type) { requests_.push_back(std::move(type)); }
    void define(RequestType type, Repeats repeats);
    // The latest open of the device that is still open (where a model sends records of its own,
    // such as events), or null.
    OpenFile* latest_file() const { return files_.empty() ? nullptr : files_.back(); }
    // The driver's close of one open, for a model that keeps state per open.
    virtual void closed(OpenFile& file);

private:
    using Factory = std::unique_ptr<DeviceModel> (*)();
    static std::vector<Factory>& registry();

    static inline std::string root_;

    std::string path_;
    std::vector<RequestType> requests_;
    std::vector<std::pair<uint32_t, Repeats>> repeats_;
    std::vector<OpenFile*> files_;  // open, oldest first
};

// The driver behind one device path: the models that serve it.
struct Driver {
    std::string path;
    std::vector<DeviceModel*> models;

    const RequestType* find(uint32_t code) const;
    const DeviceModel::Repeats* repeats(uint32_t code) const;
};

}  // namespace Emulator
