#include "program_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace systemtest {

namespace {

std::string read_all(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

std::string build_program(const std::string& name)
{
    const char* build = std::getenv("TOVRASEL_BUILD_DIR");
    if (build && *build)
        return std::string(build) + "/" + name;
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / name).string();
}

bool eventually(const std::function<bool()>& condition, milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
}

ProgramProcess::ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& directory, const std::string& name, bool with_input)
    : output_file_(directory + "/" + name + ".out"), errors_file_(directory + "/" + name + ".err")
{
    int input[2] = {-1, -1};
    if (with_input && pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe: " + std::string(std::strerror(errno)));
    std::vector<char*> argv;
    std::string zeroth = std::filesystem::path(program).filename().string();
    argv.push_back(zeroth.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(errno));
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int in = with_input ? input[0] : open("/dev/null", O_RDONLY);
        int out = open(output_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errors_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (with_input) {
        close(input[0]);
        input_ = input[1];
    }
}

ProgramProcess::~ProgramProcess()
{
    close_input();
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
}

std::string ProgramProcess::output() const { return read_all(output_file_); }
std::string ProgramProcess::errors() const { return read_all(errors_file_); }

bool ProgramProcess::wait_for_errors(const std::string& text, milliseconds timeout)
{
    bool found = false;
    eventually(
        [&] {
            // Whether it still runs is asked first, so that what it wrote before it ended is read.
            bool alive = running();
            found = errors().find(text) != std::string::npos;
            return found || !alive;
        },
        timeout);
    return found;
}

void ProgramProcess::write_input(const std::string& text)
{
    if (input_ < 0)
        throw std::runtime_error("the program's input is closed");
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::write(input_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            throw std::runtime_error("cannot write to the program: " + std::string(std::strerror(errno)));
        done += written;
    }
}

void ProgramProcess::close_input()
{
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

void ProgramProcess::signal(int number)
{
    if (running())
        kill(pid_, number);
}

bool ProgramProcess::running()
{
    if (pid_ <= 0 || status_ != -1)
        return false;
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return false;
    }
    return true;
}

int ProgramProcess::wait(milliseconds timeout)
{
    return eventually([this] { return !running(); }, timeout) ? status_ : -1;
}

Finished run_program(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory)
{
    ProgramProcess process(program, arguments, directory, "run");
    int status = process.wait(milliseconds(30000));
    Finished finished;
    if (status != -1 && WIFEXITED(status))
        finished.exit_status = WEXITSTATUS(status);
    finished.output = process.output();
    finished.errors = process.errors();
    return finished;
}

}  // namespace systemtest
