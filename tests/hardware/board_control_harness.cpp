#include "board_control_harness.h"

#include "support/controller_pair.h"

#include <unistd.h>

namespace boardtest {

BoardControlTest::~BoardControlTest()
{
    server.Deactivate();
    // The latest made may use those made before it.
    while (!services_.empty())
        services_.pop_back();
    if (peer_ >= 0)
        close(peer_);
}

void BoardControlTest::connect()
{
    if (peer_ >= 0)
        close(peer_);
    peer_ = -1;
    server.Activate(new testsupport::PairConnection(peer_));
}

void BoardControlTest::disconnect() { server.Deactivate(); }

void BoardControlTest::send(const std::string& text)
{
    std::vector<char> octets = testsupport::encode(text);
    server.OnMessage(octets.data(), static_cast<int>(octets.size()));
}

std::vector<std::string> BoardControlTest::received() { return testsupport::received(peer_); }

void BoardControlTest::pass_ms(unsigned ms)
{
    offset_us_ += int64_t{ms} * 1000;
    Mux::set_clock_offset_for_tests(offset_us_);
    Timer stop;
    stop.set(50, &BoardControlTest::stop_reactor, this);
    run_guarded();
}

void BoardControlTest::stop_reactor() { multiplexer.terminate(); }

std::vector<std::string> BoardControlTest::requests(const std::string& device)
{
    std::vector<std::string> lines;
    for (const testsupport::JournalEntry& entry : board.journal())
        if (entry.device == device)
            lines.push_back(entry.request + (entry.fields.empty() ? "" : " " + entry.fields) + " -> " + entry.result);
    return lines;
}

}  // namespace boardtest
