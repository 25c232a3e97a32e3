// SPDX-License-Identifier: Apache-2.0
// The meter's end of a pseudo-terminal: the master, read and written with
// read and write (a terminal takes no recv or send).
#include "sim/meter_end.h"

#include "platform/sockets/socket_io.h"

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::runtime_error SystemFailure(const std::string &what)
{
    return std::runtime_error(what + ": " + std::generic_category().message(errno));
}

// The master does not block: a send that the terminal does not take returns
// 0, and the meter waits, looking out for its destruction, so Wake has nothing
// to do.
class TPseudoTerminalEnd : public IMeterEnd {
public:
    explicit TPseudoTerminalEnd(int master) : FMaster(master) {}
    ~TPseudoTerminalEnd() override { Close(); }
    TPseudoTerminalEnd(const TPseudoTerminalEnd &) = delete;
    TPseudoTerminalEnd &operator=(const TPseudoTerminalEnd &) = delete;

    // Opens the terminal end once for the meter's own keeping, in raw mode:
    // no echo of the computer's bytes, no line discipline on the message.
    std::string OpenTerminal()
    {
        if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
            throw SystemFailure("cannot unlock the pseudo-terminal");
        char path[128];
        if (ptsname_r(FMaster, path, sizeof path) != 0)
            throw SystemFailure("cannot name the pseudo-terminal");
        FTerminal = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FTerminal < 0)
            throw SystemFailure(std::string("cannot open ") + path);
        termios settings{};
        if (tcgetattr(FTerminal, &settings) != 0)
            throw SystemFailure(std::string("cannot read the settings of ") + path);
        cfmakeraw(&settings);
        if (tcsetattr(FTerminal, TCSANOW, &settings) != 0)
            throw SystemFailure(std::string("cannot make ") + path + " raw");
        const int flags = fcntl(FMaster, F_GETFL);
        if (flags < 0 || fcntl(FMaster, F_SETFL, flags | O_NONBLOCK) != 0)
            throw SystemFailure("cannot make the pseudo-terminal's master non-blocking");
        return path;
    }

    int WaitReadable(TTimeout timeout) override { return ::WaitReadable(FMaster, timeout); }
    int WaitWritable(TTimeout timeout) override { return ::WaitWritable(FMaster, timeout); }

    int Receive(std::uint8_t *data, std::int32_t count) override
    {
        ssize_t received;
        do {
            received = read(FMaster, data, static_cast<size_t>(count));
        } while (received < 0 && errno == EINTR);
        return received < 0 ? -1 : static_cast<int>(received);
    }

    int Send(const std::uint8_t *data, std::int32_t count) override
    {
        ssize_t sent;
        do {
            sent = write(FMaster, data, static_cast<size_t>(count));
        } while (sent < 0 && errno == EINTR);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        return static_cast<int>(sent);
    }

    // What the master sent and nobody has read waits at the terminal end,
    // where the meter's own descriptor sees it.
    bool Unread() override { return FTerminal >= 0 && ::WaitReadable(FTerminal, {0, 0}) == 1; }

    // The master gone, the kernel hangs up the terminal end: the program's
    // next read gives the end (what it had not read is lost), and the port is
    // no longer there to open.
    void Close() override
    {
        if (FMaster >= 0)
            close(FMaster);
        if (FTerminal >= 0)
            close(FTerminal);
        FMaster = FTerminal = -1;
    }

    void Wake() override {}

private:
    int FMaster;
    int FTerminal = -1;
};

} // namespace

std::unique_ptr<IMeterEnd> PseudoTerminalMeterEnd(std::string &terminalPath)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        throw SystemFailure("cannot make a pseudo-terminal");
    auto end = std::make_unique<TPseudoTerminalEnd>(master);
    terminalPath = end->OpenTerminal();
    return end;
}
