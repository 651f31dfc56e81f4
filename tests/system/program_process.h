#pragma once

// A program of the build tree run by a system test: its standard output and error go to files
// that the test reads while it runs, its standard input is a pipe the test writes (or /dev/null).
// The program goes with the test process however that ends, and the object kills what is left.

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace systemtest {

using std::chrono::milliseconds;

// A program of this build tree: TOVRASEL_BUILD_DIR (set by CTest) names the top, else the tree
// this test program runs from, one level below the top.
std::string build_program(const std::string& name);

// Whether the condition comes true within the time.
bool eventually(const std::function<bool()>& condition, milliseconds timeout);

class ProgramProcess {
public:
    // Starts the program; its output files are <directory>/<name>.out and .err.
    ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory, const std::string& name, bool with_input = false);
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string output() const;
    std::string errors() const;
    // Whether the text appears in the errors within the time; false once it has ended without it.
    bool wait_for_errors(const std::string& text, milliseconds timeout);

    void write_input(const std::string& text);
    void close_input();
    void signal(int number);
    bool running();
    // The wait status once the program has ended, -1 while it still runs after the time.
    int wait(milliseconds timeout);

private:
    pid_t pid_ = -1;
    int status_ = -1;
    int input_ = -1;
    std::string output_file_;
    std::string errors_file_;
};

// Runs a program to its end (at most 30 s): its exit status (-1 when it did not exit normally)
// and what it wrote.
struct Finished {
    int exit_status = -1;
    std::string output;
    std::string errors;
};
Finished run_program(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory);

}  // namespace systemtest
