#pragma once

// A program of the build tree run by a test: its standard output and error go to files that the
// test reads while it runs, its standard input is a pipe the test writes (or /dev/null). The
// program goes with the test process however that ends. It leads a process group of its own, and
// the object kills what is left of that group: the program and what it started that stayed in
// it, such as the stand-ins of the daemon's child programs.
// Header-only, so that the benchmarks, which are built without the test support library, use it.

#include "temp_root.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

using std::chrono::milliseconds;

// A program of this build tree: TOVRASEL_BUILD_DIR (set by CTest) names the top, else the tree
// this test program runs from, whose test and benchmark programs sit one level below the top.
inline std::string build_program(const std::string& name)
{
    const char* build = std::getenv("TOVRASEL_BUILD_DIR");
    if (build && *build)
        return std::string(build) + "/" + name;
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / name).string();
}

// Whether the condition comes true within the time.
inline bool eventually(const std::function<bool()>& condition, milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

class ProgramProcess {
public:
    // Starts the program; its output files are <directory>/<name>.out and .err.
    ProgramProcess(const std::string& program, std::vector<std::string> arguments, const std::string& directory,
                   const std::string& name, bool with_input = false)
        : output_file_(directory + "/" + name + ".out"), errors_file_(directory + "/" + name + ".err")
    {
        if (access(program.c_str(), X_OK) != 0)
            throw std::runtime_error("no program " + program + " (build its target)");
        // The files are emptied here, so that nothing an earlier run left is read as this one's.
        int input[2] = {open("/dev/null", O_RDONLY | O_CLOEXEC), -1};
        int out = open(output_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int err = open(errors_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (with_input && (close(input[0]) != 0 || pipe2(input, O_CLOEXEC) != 0))
            throw std::runtime_error("cannot make a pipe: " + std::string(std::strerror(errno)));
        std::string zeroth = std::filesystem::path(program).filename().string();
        std::vector<char*> argv{zeroth.data()};
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("cannot start " + program + ": " + std::strerror(errno));
        if (pid_ == 0) {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (input[0] < 0 || out < 0 || err < 0 || dup2(input[0], 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
                _exit(126);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        // Here too, so that the group exists whichever of the two runs first.
        setpgid(pid_, 0);
        for (int fd : {input[0], out, err})
            close(fd);
        input_ = input[1];
    }
    // A program still running is ended with SIGTERM, as in use, so that it leaves as it would (a
    // build with coverage writes its counts then); SIGKILL when it has not ended after 10 s. What
    // it started goes with it, whatever happened.
    ~ProgramProcess()
    {
        close_input();
        if (running()) {
            kill(pid_, SIGTERM);
            if (wait(milliseconds(10000)) == -1) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status_, 0);
            }
        }
        if (pid_ > 0)
            kill(-pid_, SIGKILL);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string output() const { return file_text(output_file_); }
    std::string errors() const { return file_text(errors_file_); }
    // Whether the text appears in the errors within the time.
    bool wait_for_errors(const std::string& text, milliseconds timeout)
    {
        return eventually([&] { return errors().find(text) != std::string::npos; }, timeout);
    }

    void write_input(const std::string& text)
    {
        if (input_ < 0 || ::write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("cannot write to the program: " + text);
    }
    void close_input()
    {
        if (input_ >= 0)
            close(input_);
        input_ = -1;
    }
    void signal(int number)
    {
        if (running())
            kill(pid_, number);
    }
    bool running()
    {
        int status;
        if (status_ == -1 && waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = status;
        return status_ == -1;
    }
    // The wait status once the program has ended, -1 while it still runs after the time.
    int wait(milliseconds timeout) { return eventually([this] { return !running(); }, timeout) ? status_ : -1; }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    int input_ = -1;
    std::string output_file_;
    std::string errors_file_;
};

// A program run to its end (at most 30 s): its exit status (-1 when it did not exit normally)
// and what it wrote.
struct Finished {
    int exit_status = -1;
    std::string output;
    std::string errors;
};
inline Finished run_program(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& directory)
{
    ProgramProcess process(program, arguments, directory, "run");
    int status = process.wait(milliseconds(30000));
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, process.output(), process.errors()};
}

}  // namespace testsupport
