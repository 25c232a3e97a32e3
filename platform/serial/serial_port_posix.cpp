// SPDX-License-Identifier: Apache-2.0
// Serial ports on Linux: a terminal device in raw mode, waited on with the
// same ppoll as the sockets, and listed from /dev with what /sys tells of it.
#include "platform/serial/serial_port.h"
#include "platform/serial/serial_port_names.h"
#include "platform/serial/serial_port_posix.h"

#include "platform/sockets/socket_io.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string SystemText(int error) { return std::generic_category().message(error); }

// The rates termios names; a port takes no other.
std::optional<speed_t> SpeedOf(std::uint32_t baud)
{
    static const struct {
        std::uint32_t Baud;
        speed_t Speed;
    } speeds[] = {
        {50, B50},         {75, B75},         {110, B110},         {134, B134},         {150, B150},
        {200, B200},       {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef __linux__
        {460800, B460800}, {500000, B500000}, {576000, B576000},   {921600, B921600},   {1000000, B1000000},
        {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
#endif
    };
    for (const auto &entry : speeds)
        if (entry.Baud == baud)
            return entry.Speed;
    return std::nullopt;
}

class TSerialPortStream : public IByteStream {
public:
    explicit TSerialPortStream(int descriptor) : FDescriptor(descriptor) {}
    ~TSerialPortStream() override
    {
        // The exclusive mode belongs to the terminal, not to this descriptor:
        // left set, it would outlive us where another descriptor keeps the
        // terminal open (the simulated meter's pseudo-terminal does).
        if (FExclusive)
            ioctl(FDescriptor, TIOCNXCL);
        close(FDescriptor);  // also lets go of the lock
    }
    TSerialPortStream(const TSerialPortStream &) = delete;
    TSerialPortStream &operator=(const TSerialPortStream &) = delete;

    // Takes the port for this program alone; the failure's text, or empty.
    std::string TakeExclusively()
    {
        // The lock keeps out every program that asks for it, root's too; the
        // exclusive mode also keeps out those that do not ask (but root's).
        if (flock(FDescriptor, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? "the port is in use by another program (" + SystemText(errno) + ")"
                                        : SystemText(errno);
        FExclusive = ioctl(FDescriptor, TIOCEXCL) == 0;
        return std::string();
    }

    // Raw bytes, 8N1, no flow control, the given speed; bytes from before
    // dropped. The failure's text, or empty.
    std::string Configure(speed_t speed)
    {
        termios settings{};
        if (tcgetattr(FDescriptor, &settings) != 0)
            return errno == ENOTTY ? "not a serial port (" + SystemText(errno) + ")" : SystemText(errno);
        cfmakeraw(&settings);
        settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        settings.c_iflag &= ~(IXON | IXOFF | IXANY);
        // A read returns at once with what has come: the waits do the waiting.
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
            tcsetattr(FDescriptor, TCSANOW, &settings) != 0)
            return SystemText(errno);
        // What an earlier cycle left unread (a late reply, extra bytes) must
        // not pass for this cycle's reply.
        if (tcflush(FDescriptor, TCIFLUSH) != 0)
            return SystemText(errno);
        return std::string();
    }

    int WaitWritable(TTimeout timeout) override { return Noted(::WaitWritable(FDescriptor, timeout)); }
    int WaitReadable(TTimeout timeout) override { return Noted(::WaitReadable(FDescriptor, timeout)); }

    int Send(const std::uint8_t *data, std::int32_t count) override
    {
        ssize_t sent;
        do {
            sent = write(FDescriptor, data, static_cast<size_t>(count));
        } while (sent < 0 && errno == EINTR);
        return Noted(sent < 0 ? -1 : static_cast<int>(sent));
    }

    // A terminal whose far end has gone is hung up (a pseudo-terminal whose
    // master has closed, a USB adapter pulled out, an rfcomm link dropped):
    // it reads as the end, 0, or as EIO, a failure; never a hang.
    int Receive(std::uint8_t *data, std::int32_t count) override
    {
        ssize_t received;
        do {
            received = read(FDescriptor, data, static_cast<size_t>(count));
        } while (received < 0 && errno == EINTR);
        if (received != 0)
            return Noted(received < 0 ? -1 : static_cast<int>(received));
        // A raw read that never waits gives 0 also when nothing has come: only
        // a hang-up is the end.
        pollfd entry{FDescriptor, POLLIN, 0};
        if (poll(&entry, 1, 0) == 1 && (entry.revents & POLLHUP) != 0) {
            FFailure = "the port has hung up: the device at its far end has gone";
            return 0;
        }
        errno = EAGAIN;
        return Noted(-1);
    }

    std::string FailureText() const override { return FFailure.empty() ? "no error reported" : FFailure; }

private:
    int Noted(int result)
    {
        if (result < 0)
            FFailure = SystemText(errno);
        return result;
    }

    int FDescriptor;
    bool FExclusive = false;
    std::string FFailure;
};

TStreamOpening Failed(std::string text) { return {nullptr, std::move(text)}; }

// ---- The list ----

namespace fs = std::filesystem;

enum class TPortKind { None, Bluetooth, Usb };

// rfcommN, ttyUSBN, ttyACMN.
TPortKind KindOf(const std::string &name)
{
    static const std::pair<const char *, TPortKind> prefixes[] = {
        {"rfcomm", TPortKind::Bluetooth}, {"ttyUSB", TPortKind::Usb}, {"ttyACM", TPortKind::Usb}};
    for (const auto &[prefix, kind] : prefixes) {
        const std::string_view text(prefix);
        if (name.size() > text.size() && name.compare(0, text.size(), text) == 0 &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(text.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return kind;
    }
    return TPortKind::None;
}

std::string FirstLine(const fs::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The product name of the USB device that the port's device belongs to: the
// first folder above it with an idVendor file is that device (an interface
// lies between for some drivers). Empty when the device names no product.
std::string UsbProduct(const fs::path &device, const fs::path &sysRoot)
{
    std::error_code error;
    const fs::path root = fs::canonical(sysRoot, error);
    fs::path at = fs::canonical(device, error);
    if (error)
        return std::string();
    for (int level = 0; level < 4 && at != root && at.has_relative_path(); ++level, at = at.parent_path())
        if (fs::exists(at / "idVendor", error))
            return FirstLine(at / "product");
    return std::string();
}

std::string UsbDescription(const fs::path &ttyFolder, const fs::path &sysRoot)
{
    std::error_code error;
    const std::string driver = fs::read_symlink(ttyFolder / "device" / "driver", error).filename().string();
    const std::string product = UsbProduct(ttyFolder / "device", sysRoot);
    if (!product.empty() && !driver.empty())
        return product + " (" + driver + ")";
    if (!product.empty())
        return product;
    if (!driver.empty())
        return driver;
    return "USB serial port";
}

} // namespace

TStreamOpening OpenSerialPort(const TSerialPortSettings &settings)
{
    const std::optional<speed_t> speed = SpeedOf(settings.Baud);
    if (!speed)
        return Failed("the baud rate " + std::to_string(settings.Baud) + " is not one that serial ports here take");
    int descriptor;
    do {
        descriptor = open(settings.Port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return Failed(errno == EBUSY ? "the port is in use by another program (" + SystemText(errno) + ")"
                                     : SystemText(errno));
    auto stream = std::make_unique<TSerialPortStream>(descriptor);
    std::string failure = stream->TakeExclusively();
    if (failure.empty())
        failure = stream->Configure(*speed);
    if (!failure.empty())
        return Failed(std::move(failure));
    return {std::move(stream), std::string()};
}

std::vector<TSerialPortInfo> ListSerialPortsUnder(const std::string &devRoot, const std::string &sysRoot)
{
    std::vector<TSerialPortInfo> ports;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(devRoot, error)) {
        const std::string name = entry.path().filename().string();
        const TPortKind kind = KindOf(name);
        if (kind == TPortKind::None)
            continue;
        const fs::path ttyFolder = fs::path(sysRoot) / "class" / "tty" / name;
        TSerialPortInfo port;
        port.Port = entry.path().string();
        if (kind == TPortKind::Bluetooth) {
            port.Description = "Bluetooth serial port";
            // The kernel shows the device a bound rfcomm port reaches.
            port.BluetoothAddress = BoundBluetoothAddress(FirstLine(ttyFolder / "address"));
        } else {
            port.Description = UsbDescription(ttyFolder, sysRoot);
        }
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(),
              [](const TSerialPortInfo &a, const TSerialPortInfo &b) { return PortNameLess(a.Port, b.Port); });
    return ports;
}

std::vector<TSerialPortInfo> ListSerialPorts() { return ListSerialPortsUnder("/dev", "/sys"); }
