// SPDX-License-Identifier: Apache-2.0
// Serial ports on Windows: a COM port through the communications calls, read
// without waiting (a read returns at once with what has arrived) and waited on
// by looking at the input queue until the deadline; listed from the Ports
// device class.
#include "platform/serial/serial_port.h"
#include "platform/serial/serial_port_names.h"

#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <windows.h>
#include <setupapi.h>

namespace {

// The Ports (COM and LPT) device class, {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID PortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A wait sleeps in steps of Sleep(1), which may take a whole scheduler tick
// (15.6 ms by default); this close to its deadline it only yields, so that it
// ends within a slice of the deadline.
constexpr double SleepingStopsBeforeSeconds = 0.020;

// A send that the port does not take within this time fails.
constexpr DWORD WriteTimeoutMilliseconds = 1000;

std::string SystemText(DWORD error)
{
    std::string text = SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string BusyText(DWORD error) { return "the port is in use by another program (" + SystemText(error) + ")"; }

long long Counter()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

long long CounterTicks(TTimeout timeout)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const long long ticks = static_cast<long long>(timeout.Seconds) * frequency.QuadPart +
                            static_cast<long long>(timeout.Microseconds) * frequency.QuadPart / 1'000'000;
    return std::max(ticks, 0LL);
}

class TComPortStream : public IByteStream {
public:
    explicit TComPortStream(HANDLE handle) : FHandle(handle) {}
    ~TComPortStream() override { CloseHandle(FHandle); }
    TComPortStream(const TComPortStream &) = delete;
    TComPortStream &operator=(const TComPortStream &) = delete;

    // Raw bytes, 8N1, no flow control, DTR and RTS on, reads that never wait,
    // the queues emptied. The failure's text, or empty.
    std::string Configure(std::uint32_t baud)
    {
        DCB state{};
        state.DCBlength = sizeof state;
        if (!GetCommState(FHandle, &state))
            return SystemText(GetLastError());
        state.BaudRate = baud;
        state.ByteSize = 8;
        state.Parity = NOPARITY;
        state.StopBits = ONESTOPBIT;
        state.fBinary = TRUE;
        state.fParity = FALSE;
        state.fOutxCtsFlow = FALSE;
        state.fOutxDsrFlow = FALSE;
        state.fDtrControl = DTR_CONTROL_ENABLE;
        state.fDsrSensitivity = FALSE;
        state.fTXContinueOnXoff = TRUE;
        state.fOutX = FALSE;
        state.fInX = FALSE;
        state.fErrorChar = FALSE;
        state.fNull = FALSE;
        state.fRtsControl = RTS_CONTROL_ENABLE;
        state.fAbortOnError = FALSE;
        if (!SetCommState(FHandle, &state))
            return "the port does not take " + std::to_string(baud) + " baud, 8 data bits, no parity, 1 stop bit (" +
                   SystemText(GetLastError()) + ")";
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;  // with both totals 0: return at once
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = WriteTimeoutMilliseconds;
        if (!SetCommTimeouts(FHandle, &timeouts))
            return SystemText(GetLastError());
        // What an earlier cycle left unread must not pass for this cycle's reply.
        if (!PurgeComm(FHandle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
            return SystemText(GetLastError());
        return std::string();
    }

    // A write waits at most the write timeout: nothing to wait for first.
    int WaitWritable(TTimeout) override { return 1; }

    int WaitReadable(TTimeout timeout) override
    {
        const long long deadline = Counter() + CounterTicks(timeout);
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        const auto sleepingStops = static_cast<long long>(SleepingStopsBeforeSeconds * frequency.QuadPart);
        for (;;) {
            // The clock first: the last look at the queue is at or after the
            // deadline, also for a wait of half a millisecond.
            const long long left = deadline - Counter();
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(FHandle, &errors, &status)) {
                FLastError = GetLastError();  // the port is gone (a Bluetooth link dropped, an adapter pulled)
                return -1;
            }
            if (status.cbInQue > 0)
                return 1;
            if (left <= 0)
                return 0;
            if (left > sleepingStops)
                Sleep(1);
            else
                SwitchToThread();
        }
    }

    int Send(const std::uint8_t *data, std::int32_t count) override
    {
        DWORD written = 0;
        if (!WriteFile(FHandle, data, static_cast<DWORD>(count), &written, nullptr)) {
            FLastError = GetLastError();
            return -1;
        }
        if (written == 0 && count > 0) {
            FLastError = ERROR_TIMEOUT;  // the port took nothing within the write timeout
            return -1;
        }
        return static_cast<int>(written);
    }

    int Receive(std::uint8_t *data, std::int32_t count) override
    {
        DWORD read = 0;
        if (!ReadFile(FHandle, data, static_cast<DWORD>(count), &read, nullptr)) {
            FLastError = GetLastError();
            return -1;
        }
        return static_cast<int>(read);
    }

    std::string FailureText() const override
    {
        return FLastError != 0 ? SystemText(FLastError) : std::string("no error reported");
    }

private:
    HANDLE FHandle;
    DWORD FLastError = 0;
};

TStreamOpening Failed(std::string text) { return {nullptr, std::move(text)}; }

// ---- The list ----

struct TDeviceInfoSetCloser {
    void operator()(void *set) const { SetupDiDestroyDeviceInfoList(set); }
};
using TDeviceInfoSet = std::unique_ptr<void, TDeviceInfoSetCloser>;

struct TKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using TKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyCloser>;

// Text up to the first terminating zero of a registry or property value.
std::string TextOf(const std::vector<wchar_t> &buffer)
{
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    return Utf8FromWide(std::wstring_view(buffer.data(), static_cast<std::size_t>(end - buffer.begin())));
}

std::string RegistryText(HKEY key, const wchar_t *name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::string();
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()), &size) != ERROR_SUCCESS)
        return std::string();
    return TextOf(buffer);
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    DWORD needed = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &needed);
    if (needed == 0)
        return std::string();
    std::vector<wchar_t> buffer(needed / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, reinterpret_cast<BYTE *>(buffer.data()),
                                           static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), nullptr))
        return std::string();
    return TextOf(buffer);
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    DWORD needed = 0;
    SetupDiGetDeviceInstanceIdW(set, &device, nullptr, 0, &needed);
    if (needed == 0)
        return std::string();
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    if (!SetupDiGetDeviceInstanceIdW(set, &device, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr))
        return std::string();
    return TextOf(buffer);
}

bool IsComName(const std::string &name)
{
    return name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
           (name[2] == 'M' || name[2] == 'm');
}

// The COM ports of the Ports class: their friendly names ("Standard Serial
// over Bluetooth link (COM5)"), and for a Bluetooth port its device.
std::vector<TSerialPortInfo> PortsOfTheDeviceClass()
{
    std::vector<TSerialPortInfo> ports;
    const HDEVINFO handle = SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (handle == INVALID_HANDLE_VALUE)
        return ports;
    const TDeviceInfoSet set(handle);
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(handle, index, &device))
            break;
        const HKEY key = SetupDiOpenDevRegKey(handle, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const TKey deviceKey(key);
        TSerialPortInfo port;
        port.Port = RegistryText(key, L"PortName");
        if (!IsComName(port.Port))
            continue;  // a printer port
        port.Description = DeviceProperty(handle, device, SPDRP_FRIENDLYNAME);
        if (port.Description.empty())
            port.Description = DeviceProperty(handle, device, SPDRP_DEVICEDESC);
        port.BluetoothAddress = BluetoothAddressOfInstanceId(InstanceId(handle, device));
        ports.push_back(std::move(port));
    }
    return ports;
}

// What the serial drivers have entered under HARDWARE\DEVICEMAP\SERIALCOMM:
// the device ("\Device\Serial0") and its COM name. Wine lists its ports only
// there.
std::vector<TSerialPortInfo> PortsOfTheDeviceMap()
{
    std::vector<TSerialPortInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    const TKey map(key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        std::vector<wchar_t> value(256, L'\0');
        DWORD size = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        const LONG result =
            RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(value.data()), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        TSerialPortInfo port;
        port.Port = TextOf(value);
        if (!IsComName(port.Port))
            continue;
        port.Description = "serial port " + Utf8FromWide(std::wstring_view(name, nameLength));
        ports.push_back(std::move(port));
    }
    return ports;
}

} // namespace

TStreamOpening OpenSerialPort(const TSerialPortSettings &settings)
{
    const std::wstring path = WideFromUtf8(WindowsPortPath(settings.Port));
    if (path.empty())
        return Failed("the port name " + settings.Port + " is not valid UTF-8");
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A COM port opens for one program at a time; the next is denied.
        return Failed(error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? BusyText(error)
                                                                                        : SystemText(error));
    }
    auto stream = std::make_unique<TComPortStream>(handle);
    std::string failure = stream->Configure(settings.Baud);
    if (!failure.empty())
        return Failed(std::move(failure));
    return {std::move(stream), std::string()};
}

std::vector<TSerialPortInfo> ListSerialPorts()
{
    std::vector<TSerialPortInfo> ports = PortsOfTheDeviceClass();
    if (ports.empty())
        ports = PortsOfTheDeviceMap();
    std::sort(ports.begin(), ports.end(),
              [](const TSerialPortInfo &a, const TSerialPortInfo &b) { return PortNameLess(a.Port, b.Port); });
    return ports;
}
