#include "emulator/board.h"

#include "emulator/board_description.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Emulator {

namespace {

int listen_on(const std::string& path, int type)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    int fd = socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
        std::string reason = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot listen on " + path + ": " + reason);
    }
    return fd;
}

std::string open_fields(uint32_t flags)
{
    std::string fields;
    switch (flags & O_ACCMODE) {
    case O_RDONLY: fields = "rdonly"; break;
    case O_WRONLY: fields = "wronly"; break;
    default: fields = "rdwr"; break;
    }
    if (flags & O_NONBLOCK)
        fields += " nonblock";
    return fields;
}

std::string result_text(int result, int error)
{
    return error ? "-1 " + errno_name(error) : std::to_string(result);
}

bool argument_fits(const RequestType& type, const DeviceLink::Request& request)
{
    if (type.argument != request.argument)
        return false;
    return type.argument != DeviceLink::Argument::record || type.size == request.size;
}

// The journal's fields of a request: the named words of a request that fits its type, else what
// came, so that a wrong argument shows as it was sent.
std::string request_fields(const RequestType* type, const DeviceLink::Request& request)
{
    std::string fields;
    auto add = [&fields](const std::string& field) { fields += (fields.empty() ? "" : " ") + field; };
    if (type && argument_fits(*type, request)) {
        if (request.argument == DeviceLink::Argument::value && !type->fields.empty())
            add(type->fields[0] + '=' + std::to_string(static_cast<int32_t>(request.value)));
        if (request.argument == DeviceLink::Argument::record)
            for (size_t i = 0; i < type->fields.size() && 4 * i + 4 <= request.size; ++i)
                add(type->fields[i] + '=' + std::to_string(BigEndian::get_i32(request.record, 4 * i)));
        return fields;
    }
    if (!type)
        add("code=" + code_text(request.code));
    if (request.argument == DeviceLink::Argument::value)
        add("value=" + std::to_string(request.value));
    if (request.argument == DeviceLink::Argument::record)
        add("record=" + bytes_text(request.record, request.size));
    return fields;
}

// The board and the daemon's link whose request a model is handling.
Board* serving_board = nullptr;
int serving_link = -1;

constexpr uint32_t requesting_process = 0xFFFFFFFF;

}  // namespace

Board::Board(const std::string& root, const std::string& description)
    : board_path_(root + DeviceLink::socket_path), control_path_(root + "/dev/board-control"), commands_(*this)
{
    std::filesystem::create_directories(root + "/dev");
    DeviceModel::set_root(root);
    models_ = DeviceModel::create_registered();
    for (const auto& model : models_) {
        Driver& driver = drivers_[model->path()];
        driver.path = model->path();
        driver.models.push_back(model.get());
    }
    // Fitted before anyone can reach it.
    if (!description.empty())
        apply_board_description(description, *this, root);
    // The board socket first: a test that finds the control socket may open devices at once.
    board_fd_ = listen_on(board_path_, SOCK_SEQPACKET);
    try {
        control_fd_ = listen_on(control_path_, SOCK_STREAM);
    } catch (...) {
        ::close(board_fd_);
        ::unlink(board_path_.c_str());
        throw;
    }
}

Board::~Board()
{
    ::close(control_fd_);
    ::close(board_fd_);
    ::unlink(control_path_.c_str());
    ::unlink(board_path_.c_str());
}

Driver* Board::driver(const std::string& path)
{
    auto found = drivers_.find(path);
    return found == drivers_.end() ? nullptr : &found->second;
}

OpenFile* Board::target(const std::string& name)
{
    long long id;
    bool by_number = parse_number(name, id);
    for (auto file = files_.rbegin(); file != files_.rend(); ++file)
        if (*file && (by_number ? (*file)->id() == id : (*file)->driver().path == name))
            return file->get();
    return nullptr;
}

void Board::run(const volatile sig_atomic_t& stop, const sigset_t& poll_mask)
{
    while (!stop)
        poll_once(poll_mask);
}

void Board::poll_once(const sigset_t& poll_mask)
{
    // Order of service within one pass: what the daemon wrote to its devices before the daemon's
    // requests, and both before the test's commands, so that a test that writes or asks and then
    // reads the journal finds its own doing there. Timed work goes first and bounds the wait.
    std::optional<DeviceModel::Clock::time_point> next_due = run_timed();
    poll_set_.clear();
    for (const auto& file : files_)
        poll_set_.push_back({file->fd(), file->events(), 0});
    for (const auto& link : links_)
        poll_set_.push_back({link->fd(), link->events(), 0});
    poll_set_.push_back({board_fd_, POLLIN, 0});
    for (const auto& session : sessions_)
        poll_set_.push_back({session->fd(), session->events(), 0});
    poll_set_.push_back({control_fd_, POLLIN, 0});

    timespec wait{};
    if (next_due) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*next_due - DeviceModel::Clock::now());
        left = std::max(left, std::chrono::nanoseconds::zero());
        wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
        wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
    }
    if (ppoll(poll_set_.data(), poll_set_.size(), next_due ? &wait : nullptr, &poll_mask) <= 0)
        return;

    size_t next = 0;
    size_t file_count = files_.size();
    for (size_t i = 0; i < file_count; ++i) {
        OpenFile& file = *files_[i];
        short revents = poll_set_[next++].revents;
        auto received = [this, &file](const uint8_t* data, size_t size) { written(file, data, size); };
        if (revents && !file.serve(revents, received))
            closed(file);
    }
    size_t link_count = links_.size();
    for (size_t i = 0; i < link_count; ++i)
        if (short revents = poll_set_[next++].revents)
            serve_link(*links_[i], revents);
    if (poll_set_[next++].revents)
        accept_links();
    size_t session_count = sessions_.size();
    for (size_t i = 0; i < session_count; ++i) {
        short revents = poll_set_[next++].revents;
        auto execute = [this](const std::string& line) { return this->execute(line); };
        if (revents && !sessions_[i]->serve(revents, execute))
            sessions_[i].reset();
    }
    if (poll_set_[next++].revents)
        accept_control();

    auto gone = [](const auto& item) { return !item; };
    files_.erase(std::remove_if(files_.begin(), files_.end(), gone), files_.end());
    links_.erase(std::remove_if(links_.begin(), links_.end(), gone), links_.end());
    sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(), gone), sessions_.end());
}

std::optional<DeviceModel::Clock::time_point> Board::run_timed()
{
    auto now = DeviceModel::Clock::now();
    std::optional<DeviceModel::Clock::time_point> next;
    for (const auto& model : models_) {
        std::optional<DeviceModel::Clock::time_point> due = model->due();
        if (due && *due <= now) {
            model->run_due(now);
            due = model->due();
        }
        if (due && (!next || *due < *next))
            next = due;
    }
    return next;
}

void Board::accept_links()
{
    for (int fd; (fd = accept4(board_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;)
        links_.push_back(std::make_unique<Link>(fd));
}

void Board::accept_control()
{
    for (int fd; (fd = accept4(control_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;)
        sessions_.push_back(std::make_unique<ControlSession>(fd));
}

void Board::serve_link(Link& link, short revents)
{
    if (revents & POLLOUT)
        link.send_queued();
    bool gone = (revents & POLLERR) || ((revents & POLLHUP) && link.waiting());
    // A daemon sends nothing more before it has the reply to a message that gets one: no need to
    // look for another message after that.
    bool answered = false;
    while (!gone && !answered && !link.waiting()) {
        ssize_t length = link.receive(message_, sizeof message_);
        if (length == 0)
            break;
        if (length < 0)
            gone = true;
        else
            answered = handle_message(link, message_, static_cast<size_t>(length));
    }
    if (gone)
        for (auto& owned : links_)
            if (owned.get() == &link)
                owned.reset();
}

bool Board::handle_message(Link& link, const uint8_t* message, size_t length)
{
    DeviceLink::Open open;
    DeviceLink::Request request;
    if (length > sizeof message_)
        reply(link, -1, EINVAL);
    else if (DeviceLink::get_open(message, length, open))
        open_device(link, open);
    else if (DeviceLink::get_request(message, length, request))
        this->request(link, request, target(request), false);
    else
        return serve_posted(link, message, length);
    return true;
}

bool Board::serve_posted(Link& link, const uint8_t* message, size_t length)
{
    const bool whole = DeviceLink::is_posted(message, length) &&
                       DeviceLink::get_posted(message, length,
                                              [&](const DeviceLink::Request& first, size_t count, bool counting) {
                                                  serve_run(link, first, count, counting);
                                              });
    // Nobody reads a result of posted requests: the journal shows what was wrong.
    if (!whole)
        journal_.add("/dev/board", "posted", "record=" + bytes_text(message, std::min<size_t>(length, 64)), "malformed");
    if (!DeviceLink::is_answered(message, length))
        return false;
    reply(link, 0, whole ? 0 : EINVAL);
    return true;
}

void Board::serve_run(Link& link, const DeviceLink::Request& first, size_t count, bool counting)
{
    // A run names one device and code. Served one by one like any request when the test scripted
    // answers or the driver refuses them; otherwise straight to the model, the refresh of the TDM
    // switch being tens of thousands of them a second.
    const Target target = this->target(first);
    DeviceLink::Request request = first;
    size_t index = 0;
    // Points the request at the record of the request `index`.
    auto spell = [&] {
        if (counting)
            DeviceLink::counted_record(first, index, counted_);
        request.record = counting ? counted_ : first.record + index * first.size;
    };
    if (!target.file || !target.type || !argument_fits(*target.type, first) || !overrides_.none()) {
        for (; index < count; ++index) {
            spell();
            this->request(link, request, target, true);
        }
        return;
    }
    const DeviceModel::Repeats* repeats = target.file->driver().repeats(first.code);
    Call call{*target.file, first.code, first.value, record_, first.size, {}, {}};
    serving_board = this;
    serving_link = link.fd();
    const auto* serve_repeats = !repeats ? nullptr : counting ? &repeats->counted : &repeats->listed;
    while (index < count) {
        spell();
        if (serve_repeats && *serve_repeats) {
            const size_t repeated = (*serve_repeats)(request.record, count - index);
            index += repeated;
            if (index == count)
                break;
            if (repeated > 0)
                spell();
        }
        std::copy_n(request.record, request.size, record_);
        call.note.clear();
        call.fields.clear();
        const Answer answer = target.type->handler(call);
        if (answer.journal)
            journal_answer(target, request, call, answer);
        ++index;
    }
    serving_board = nullptr;
}

void Board::reply(Link& link, int result, int error, const uint8_t* record, size_t size, int passed)
{
    DeviceLink::Reply answer{error ? -1 : result, error, record, size};
    link.reply(reply_, DeviceLink::put_reply(reply_, answer), passed);
}

void Board::open_device(Link& link, const DeviceLink::Open& open)
{
    std::string path(open.path);
    std::string fields = open_fields(open.flags);
    Driver* driver = this->driver(path);
    if (!driver || overrides_.absent(path)) {
        journal_.add(path, "open", fields, result_text(-1, ENOENT));
        reply(link, -1, ENOENT);
        return;
    }
    int pair[2];
    struct stat status;
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        int error = errno;
        journal_.add(path, "open", fields, result_text(-1, error));
        reply(link, -1, error);
        return;
    }
    fstat(pair[1], &status);
    NonBlockMode(pair[0]);
    for (DeviceModel* model : driver->models)
        if (int size = model->send_buffer())
            setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    auto file = std::make_unique<OpenFile>(next_file_id_++, *driver, pair[0], status.st_ino);
    journal_.add(path, "open", "file=" + std::to_string(file->id()) + ' ' + fields, "0");
    files_by_inode_[file->inode()] = file.get();
    OpenFile& opened = *file;
    files_.push_back(std::move(file));
    reply(link, 0, 0, nullptr, 0, pair[1]);
    for (DeviceModel* model : driver->models)
        model->file_opened(opened);
}

Board::Target Board::target(const DeviceLink::Request& request)
{
    Target target;
    auto found = files_by_inode_.find(request.inode);
    if (found != files_by_inode_.end()) {
        target.file = found->second;
        target.type = target.file->driver().find(request.code);
    }
    return target;
}

void Board::request(Link& link, const DeviceLink::Request& request, const Target& target, bool posted)
{
    if (!target.file) {
        if (posted)
            journal_.add("/dev/board", "posted", "code=" + code_text(request.code), result_text(-1, EBADF));
        else
            reply(link, -1, EBADF);
        return;
    }
    OpenFile& file = *target.file;
    const Driver& driver = file.driver();
    const RequestType* type = target.type;
    std::copy_n(request.record, request.size, record_);

    Call call{file, request.code, request.value, record_, request.size, {}, {}};
    Answer answer;
    if (std::optional<Override> given = overrides_.take(driver.path, request.code)) {
        answer = {given->result, given->error};
        std::copy_n(given->record.begin(), std::min(given->record.size(), request.size), record_);
        if (!given->error)
            call.note = "scripted";
    } else if (!type) {
        answer = Answer::failure(ENOTTY);
    } else if (!argument_fits(*type, request)) {
        // The driver would copy the wrong amount from the wrong place.
        answer = Answer::failure(EFAULT);
    } else {
        serving_board = this;
        serving_link = link.fd();
        answer = type->handler(call);
        serving_board = nullptr;
    }
    if (answer.journal)
        journal_answer(target, request, call, answer);
    if (!posted)
        reply(link, answer.result, answer.error, record_, request.size);
}

void Board::journal_answer(const Target& target, const DeviceLink::Request& request, const Call& call,
                           const Answer& answer)
{
    std::string result = result_text(answer.result, answer.error);
    if (!call.note.empty())
        result += ' ' + call.note;
    std::string fields = call.fields.empty() ? request_fields(target.type, request) : call.fields;
    journal_.add(target.file->driver().path, target.type ? target.type->name : "request", fields, result);
}

OpenFile* Board::descriptor_file(uint32_t pid, uint32_t fd)
{
    if (!serving_board)
        return nullptr;
    if (pid == requesting_process) {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(serving_link, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
            return nullptr;
        pid = static_cast<uint32_t>(peer.pid);
    }
    struct stat status;
    if (stat(("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd)).c_str(), &status) != 0)
        return nullptr;
    auto found = serving_board->files_by_inode_.find(status.st_ino);
    return found == serving_board->files_by_inode_.end() ? nullptr : found->second;
}

void Board::written(OpenFile& file, const uint8_t* data, size_t size)
{
    const Driver& driver = file.driver();
    for (DeviceModel* model : driver.models) {
        Written taken = model->write(file, data, size);
        if (!taken.name.empty()) {
            if (taken.journal)
                journal_.add(driver.path, taken.name, taken.fields, std::to_string(size));
            return;
        }
    }
    journal_.add(driver.path, "write", "file=" + std::to_string(file.id()) + " record=" + bytes_text(data, size),
                 std::to_string(size));
}

void Board::closed(OpenFile& file)
{
    journal_.add(file.driver().path, "close", "file=" + std::to_string(file.id()), "0");
    for (DeviceModel* model : file.driver().models)
        model->file_closed(file);
    files_by_inode_.erase(file.inode());
    for (auto& owned : files_)
        if (owned.get() == &file)
            owned.reset();
}

}  // namespace Emulator
