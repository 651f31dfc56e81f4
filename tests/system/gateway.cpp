#include "gateway.h"

#include "support/daemon_process.h"

#include <cerrno>

namespace systemtest {

std::string daemon_version(const std::string& directory)
{
    const std::string prefix = "server version: ";
    std::string line = run_program(build_program("tovrasel"), {"--version"}, directory).output;
    if (line.rfind(prefix, 0) != 0 || line.back() != '\n')
        throw std::runtime_error("unexpected version line: " + line);
    return line.substr(prefix.size(), line.size() - prefix.size() - 1);
}

Gateway::Gateway(const Options& options) : board(root, options.board), arguments_(options.arguments), quiet_(options.quiet_board)
{
    if (options.quiet_board) {
        // Refused with ENODEV, the SPI register write switches the BRI chips off for good.
        const uint32_t spi_write = 0xC0034204;
        board.set_absent("/dev/maintenance", true);
        board.fail("/dev/hal", spi_write, ENODEV);
        board.set("/dev/hal", "power none");
    }
    if (options.configuration)
        root.write_file("/usr/local/etc/server.conf", options.configuration);
    if (options.start)
        start();
}

void Gateway::start()
{
    daemon = testsupport::start_daemon(
        root.path(), arguments_, port, [this] { return looping(); }, [this] { board.restart(); });
}

}  // namespace systemtest
