// SPDX-License-Identifier: Apache-2.0
// Serial ports through a real pseudo-terminal with the simulated meter on its
// far end: the bytes both ways, the waits' deadlines, the settings, the
// failures a person sees, and the list of ports over a tree of our own.
#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/serial/serial_port.h"
#include "platform/serial/serial_port_posix.h"
#include "sim/simulated_meter.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sim_meter_io.h"
#include "tests/support/wait_until.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// A descriptor a test opens beside the program's own.
class TDescriptor {
public:
    explicit TDescriptor(const std::string &path) : FDescriptor(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~TDescriptor()
    {
        if (FDescriptor >= 0)
            close(FDescriptor);
    }
    TDescriptor(const TDescriptor &) = delete;
    TDescriptor &operator=(const TDescriptor &) = delete;
    int Get() const { return FDescriptor; }

private:
    int FDescriptor;
};

// The simulated meter on a pseudo-terminal, and the port opened as the program opens it.
// A meter of the given behaviour on a pseudo-terminal.
TMeterOptions Behaving(TMeterBehaviour behaviour)
{
    TMeterOptions options;
    options.Behaviour = behaviour;
    return options;
}

struct TServedPort {
    explicit TServedPort(TMeterOptions options = {}) : Meter(std::move(options)), Path(Meter.ServePseudoTerminal()) {}
    std::unique_ptr<IByteStream> Open(std::uint32_t baud = 9600)
    {
        TStreamOpening opening = OpenSerialPort({Path, baud});
        EXPECT_TRUE(opening.Stream) << opening.Failure;
        return std::move(opening.Stream);
    }
    TSimulatedMeter Meter;
    std::string Path;
};

// Every behaviour of the meter over the terminal is in the simulated meter's
// tests; here what the exchange itself does with the stream.
TEST(SerialPort, CarriesTheRequestAMessageInPiecesWholeAndTheAcknowledgement)
{
    TMeterOptions options = Behaving(TMeterBehaviour::Pieces);
    options.PieceSizes = {40, 40};
    options.PieceGap = 3ms;
    TServedPort port(options);
    const std::unique_ptr<IByteStream> stream = port.Open();
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->WaitWritable({0, 500}), 1);
    ASSERT_EQ(stream->Send(Request, 1), 1);
    ASSERT_EQ(stream->WaitReadable({1, 500}), 1);
    const TDrained answer = DrainStream(*stream, 100ms);
    const TMeterMessage served = port.Meter.ServedMessages().at(0);
    EXPECT_EQ(answer.Bytes, TBytes(served.begin(), served.end()));
    ASSERT_EQ(stream->Send(Ack, 1), 1);
    EXPECT_TRUE(WaitUntil([&] { return port.Meter.ReceivedBytes(0) == TBytes{RequestByte, AckByte}; }));
}

TEST(SerialPort, WaitsForASilentMeterExactlyAsLongAsAsked)
{
    TServedPort port(Behaving(TMeterBehaviour::Silent));
    const std::unique_ptr<IByteStream> stream = port.Open();
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->Send(Request, 1), 1);
    // The exchange's own waits: each further piece, the reply. Two busy cores
    // may make a wait late, never early.
    const TTimeout timeouts[] = {{0, 500}, {0, 150'000}, {1, 500}};
    for (const TTimeout timeout : timeouts) {
        SCOPED_TRACE(timeout.Seconds * 1'000'000 + timeout.Microseconds);
        const auto asked = std::chrono::seconds(timeout.Seconds) + std::chrono::microseconds(timeout.Microseconds);
        const auto start = TClock::now();
        EXPECT_EQ(stream->WaitReadable(timeout), 0);
        const auto waited = TClock::now() - start;
        EXPECT_GE(waited, asked);
        EXPECT_LT(waited, asked + 250ms);
    }
}

TEST(SerialPort, DropsWhatAnEarlierCycleLeftUnread)
{
    TServedPort port(Behaving(TMeterBehaviour::ExtraBytes));
    {
        const std::unique_ptr<IByteStream> first = port.Open();
        ASSERT_TRUE(first);
        ASSERT_EQ(first->Send(Request, 1), 1);
        ASSERT_EQ(DrainStream(*first, 1000ms, ReadingMessageSize).Bytes.size(), ReadingMessageSize);
        // The extra bytes are there, and stay unread.
        ASSERT_EQ(first->WaitReadable({1, 0}), 1);
    }
    const std::unique_ptr<IByteStream> second = port.Open();
    ASSERT_TRUE(second);
    ASSERT_EQ(second->Send(Request, 1), 1);
    const TDrained answer = DrainStream(*second, 100ms);
    ASSERT_EQ(answer.Bytes.size(), ReadingMessageSize + 64);
    const TMeterMessage served = port.Meter.ServedMessages().at(1);
    EXPECT_TRUE(std::equal(served.begin(), served.end(), answer.Bytes.begin()));
}

TEST(SerialPort, APortThatDisappearsWhileOpenFailsWithTheSystemsWords)
{
    TMeterOptions options = Behaving(TMeterBehaviour::CloseMidMessage);
    options.ShortLength = 40;
    TServedPort port(options);
    const std::unique_ptr<IByteStream> stream = port.Open();
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->Send(Request, 1), 1);
    const TDrained answer = DrainStream(*stream, 1000ms);
    EXPECT_EQ(answer.Bytes.size(), 40u);
    ASSERT_TRUE(answer.Failed || answer.Closed) << "the stream did not end";
    // Ended for good: every further wait and read says so at once.
    const auto start = TClock::now();
    for (int i = 0; i < 3; ++i) {
        std::uint8_t byte = 0;
        const int ready = stream->WaitReadable({1, 0});
        EXPECT_TRUE(ready == -1 || stream->Receive(&byte, 1) <= 0);
    }
    EXPECT_LT(TClock::now() - start, 500ms);
    const std::string text = stream->FailureText();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text, "no error reported");
    EXPECT_EQ(OpenSerialPort({port.Path}).Failure, "No such file or directory");
}

TEST(SerialPort, OpeningFailsWithWordsAPersonCanActOn)
{
    TServedPort port;
    TDescriptor holder(port.Path);
    ASSERT_GE(holder.Get(), 0);
    const struct {
        const char *Name;
        std::string Path;
        std::uint32_t Baud;
        bool Locked;
        std::string Failure;
    } cases[] = {
        {"missing", "/dev/no-such-serial-port", 9600, false, "No such file or directory"},
        {"locked by another", port.Path, 9600, true,
         "the port is in use by another program (Resource temporarily unavailable)"},
        {"no terminal", "/dev/null", 9600, false, "not a serial port (Inappropriate ioctl for device)"},
        {"odd rate", port.Path, 12345, false, "the baud rate 12345 is not one that serial ports here take"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(flock(holder.Get(), c.Locked ? LOCK_EX : LOCK_UN), 0);
        const TStreamOpening opening = OpenSerialPort({c.Path, c.Baud});
        EXPECT_FALSE(opening.Stream);
        EXPECT_EQ(opening.Failure, c.Failure);
    }
    // Unlocked, the same port opens.
    EXPECT_TRUE(port.Open());
}

TEST(SerialPort, TakesRawEightBitsWithoutFlowControlAtTheRateAskedAndHoldsThePortAlone)
{
    TServedPort port;
    const struct {
        std::uint32_t Baud;
        speed_t Speed;
    } cases[] = {{9600, B9600}, {115200, B115200}, {1200, B1200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Baud);
        // Another descriptor of the same terminal sees what the program set,
        // after this one has set the opposite of everything.
        TDescriptor observer(port.Path);
        ASSERT_GE(observer.Get(), 0);
        termios cooked{};
        ASSERT_EQ(tcgetattr(observer.Get(), &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO | ISIG;
        cooked.c_iflag |= IXON | IXOFF | ICRNL;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
        cfsetispeed(&cooked, B50);
        cfsetospeed(&cooked, B50);
        ASSERT_EQ(tcsetattr(observer.Get(), TCSANOW, &cooked), 0);

        std::unique_ptr<IByteStream> stream = port.Open(c.Baud);
        ASSERT_TRUE(stream);
        termios set{};
        ASSERT_EQ(tcgetattr(observer.Get(), &set), 0);
        EXPECT_EQ(set.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(set.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(set.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(set.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
        EXPECT_EQ(set.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(set.c_oflag & OPOST, 0u);
        EXPECT_EQ(set.c_cc[VMIN], 0);
        EXPECT_EQ(set.c_cc[VTIME], 0);
        EXPECT_EQ(cfgetispeed(&set), c.Speed);
        EXPECT_EQ(cfgetospeed(&set), c.Speed);

        // Exclusive while open, and no longer once closed: the simulated
        // meter keeps the terminal open, and the next cycle must open it.
        int exclusive = -1;
        ASSERT_EQ(ioctl(observer.Get(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
        EXPECT_NE(flock(observer.Get(), LOCK_EX | LOCK_NB), 0);
        stream.reset();
        ASSERT_EQ(ioctl(observer.Get(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        EXPECT_EQ(flock(observer.Get(), LOCK_EX | LOCK_NB), 0);
    }
}

// ---- The list ----

namespace fs = std::filesystem;

// A file with one line of text, its folders made.
void WriteLine(const fs::path &file, const std::string &line)
{
    fs::create_directories(file.parent_path());
    WriteFileContents(file.string(), line + "\n");
}

// /sys/class/tty/NAME/device pointing at `device` (below sys/devices), bound to `driver`.
void AddTtyDevice(const fs::path &sys, const std::string &name, const std::string &device, const std::string &driver)
{
    const fs::path deviceFolder = sys / "devices" / device;
    fs::create_directories(deviceFolder);
    fs::create_directories(sys / "bus" / "usb-serial" / "drivers" / driver);
    fs::create_directory_symlink(sys / "bus" / "usb-serial" / "drivers" / driver, deviceFolder / "driver");
    fs::create_directories(sys / "class" / "tty" / name);
    fs::create_directory_symlink(deviceFolder, sys / "class" / "tty" / name / "device");
}

TEST(SerialPortList, ListsBluetoothAndUsbPortsWithWhatTheKernelTellsOfThem)
{
    TScratchFolder folder("serial-port-list");
    const fs::path dev = folder.Path() / "dev", sys = folder.Path() / "sys";
    fs::create_directories(dev);
    for (const char *name : {"ttyUSB10", "ttyUSB9", "ttyACM0", "rfcomm1", "rfcomm0", "ttyS0", "tty0", "ttyUSB", "rfcommX"})
        WriteFileContents((dev / name).string(), "");

    WriteLine(sys / "class" / "tty" / "rfcomm0" / "address", "00:1a:7d:da:71:13");
    WriteLine(sys / "class" / "tty" / "rfcomm1" / "address", "00:00:00:00:00:00");
    // The host controller above every device has a product too; a device
    // without one must not take it.
    WriteLine(sys / "devices" / "usb1" / "idVendor", "1d6b");
    WriteLine(sys / "devices" / "usb1" / "product", "xHCI Host Controller");
    // ttyUSB: the port below an interface below the device.
    AddTtyDevice(sys, "ttyUSB9", "usb1/1-1/1-1:1.0/ttyUSB9", "cp210x");
    WriteLine(sys / "devices" / "usb1" / "1-1" / "idVendor", "10c4");
    WriteLine(sys / "devices" / "usb1" / "1-1" / "product", "CP2102 USB to UART Bridge Controller");
    AddTtyDevice(sys, "ttyUSB10", "usb1/1-3/1-3:1.0/ttyUSB10", "ftdi_sio");
    WriteLine(sys / "devices" / "usb1" / "1-3" / "idVendor", "0403");
    // ttyACM: the interface is the port's device.
    AddTtyDevice(sys, "ttyACM0", "usb1/1-2/1-2:1.0", "cdc_acm");
    WriteLine(sys / "devices" / "usb1" / "1-2" / "idVendor", "2341");
    WriteLine(sys / "devices" / "usb1" / "1-2" / "product", "Meter Cradle");

    const struct {
        const char *Name;
        std::string Description;
        std::optional<std::uint64_t> Address;
    } expected[] = {
        {"rfcomm0", "Bluetooth serial port", 0x001A7DDA7113},
        {"rfcomm1", "Bluetooth serial port", std::nullopt},
        {"ttyACM0", "Meter Cradle (cdc_acm)", std::nullopt},
        {"ttyUSB9", "CP2102 USB to UART Bridge Controller (cp210x)", std::nullopt},
        {"ttyUSB10", "ftdi_sio", std::nullopt},
    };
    const std::vector<TSerialPortInfo> ports = ListSerialPortsUnder(dev.string(), sys.string());
    ASSERT_EQ(ports.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(expected[i].Name);
        EXPECT_EQ(ports[i].Port, (dev / expected[i].Name).string());
        EXPECT_EQ(ports[i].Description, expected[i].Description);
        EXPECT_EQ(ports[i].BluetoothAddress, expected[i].Address);
    }
    EXPECT_TRUE(ListSerialPortsUnder((folder.Path() / "none").string(), sys.string()).empty());
}

}  // namespace
#endif
