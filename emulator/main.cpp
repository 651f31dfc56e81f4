// board-emulator --root DIR [--board FILE]: stands in for the board's kernel drivers so that the
// daemon runs and is tested on a PC. It serves "DIR/dev/board" and "DIR/dev/board-control" until
// SIGTERM or SIGINT. Without a board description the board has its E1 trunks and BRI chips but no
// mixer unit, voice channel or modem: the board that tests start from and fit as they need.

#include "emulator/board.h"

#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

volatile sig_atomic_t stop_requested = 0;

void request_stop(int) { stop_requested = 1; }

int usage()
{
    std::cerr << "usage: board-emulator --root DIR [--board FILE]" << std::endl;
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root, description;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc)
            root = argv[++i];
        else if (std::strcmp(argv[i], "--board") == 0 && i + 1 < argc)
            description = argv[++i];
        else
            return usage();
    }
    if (root.empty())
        return usage();

    // The stop signals are held back except while the loop waits in ppoll, so none is lost
    // between a check of the flag and the wait.
    sigset_t stop_signals, poll_mask;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    sigprocmask(SIG_BLOCK, &stop_signals, &poll_mask);
    sigdelset(&poll_mask, SIGTERM);
    sigdelset(&poll_mask, SIGINT);
    struct sigaction action{};
    action.sa_handler = request_stop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    try {
        Emulator::Board board(root, description);
        board.run(stop_requested, poll_mask);
    } catch (const std::exception& failure) {
        std::cerr << "board-emulator: " << failure.what() << std::endl;
        return 1;
    }
    return 0;
}
