// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_win32.h"
#include "platform/bluetooth/bluetooth_library_win32.h"
#include "platform/bluetooth/serial_port_service.h"
#include "platform/sockets/socket_stream.h"
#include "platform/text/system_error_text_win32.h"

#include <winsock2.h>
#include <windows.h>
#include <ws2bth.h>
#include <bluetoothapis.h>

#include <algorithm>
#include <cstring>
#include <memory>

// The records as the platform lays them out. The device search record holds a
// handle, so it is 32 bytes in a 32-bit build and 40 in a 64-bit one: its
// dwSize must be its own size, or every search of a 64-bit build fails.
static_assert(sizeof(BLUETOOTH_FIND_RADIO_PARAMS) == 4);
static_assert(sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS) == (sizeof(void *) == 8 ? 40 : 32));
static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560);
static_assert(sizeof(BLUETOOTH_RADIO_INFO) == 520);
static_assert(sizeof(SOCKADDR_BTH) == 30);
static_assert(sizeof(GUID) == std::tuple_size_v<TServiceClassId>);
static_assert(sizeof(TSocketHandle) == sizeof(SOCKET));
static_assert(std::tuple_size_v<decltype(TBluetoothDeviceInfo::Name)> == BLUETOOTH_MAX_NAME_SIZE);
static_assert(std::tuple_size_v<decltype(TBluetoothRadioInfo::Name)> == BLUETOOTH_MAX_NAME_SIZE);

namespace {

// A platform record zeroed, with dwSize its own size as the platform asks.
template <typename TRecord>
TRecord Sized()
{
    TRecord record;
    std::memset(&record, 0, sizeof record);
    record.dwSize = sizeof record;
    return record;
}

// Keeps the copy zero-terminated even if the platform filled every unit.
void CopyName(const WCHAR (&source)[BLUETOOTH_MAX_NAME_SIZE], std::array<char16_t, BLUETOOTH_MAX_NAME_SIZE> &name)
{
    std::copy(std::begin(source), std::end(source), name.begin());
    name.back() = u'\0';
}

void CopyDevice(const BLUETOOTH_DEVICE_INFO &info, TBluetoothDeviceInfo &device)
{
    device = TBluetoothDeviceInfo{};
    CopyName(info.szName, device.Name);
    device.Address = info.Address.ullLong;
    device.Remembered = info.fRemembered != FALSE;
    device.Authenticated = info.fAuthenticated != FALSE;
}

}  // namespace

const TBluetoothLibrary &TWin32Bluetooth::Library() const
{
    return FLibrary != nullptr ? *FLibrary : SystemBluetoothLibrary();
}

TFindHandle TWin32Bluetooth::FindFirstRadio(TRadioHandle &radio)
{
    radio = nullptr;
    const TBluetoothLibrary &library = Library();
    if (!library.Loaded())
        return nullptr;
    auto params = Sized<BLUETOOTH_FIND_RADIO_PARAMS>();
    HANDLE first = nullptr;
    const HBLUETOOTH_RADIO_FIND find = library.FindFirstRadio(&params, &first);
    radio = first;
    return find;
}

// The next and close calls take handles that only a loaded library hands out.
bool TWin32Bluetooth::FindNextRadio(TFindHandle find, TRadioHandle &radio)
{
    HANDLE next = nullptr;
    if (!Library().FindNextRadio(static_cast<HBLUETOOTH_RADIO_FIND>(find), &next))
        return false;
    radio = next;
    return true;
}

void TWin32Bluetooth::FindRadioClose(TFindHandle find)
{
    Library().FindRadioClose(static_cast<HBLUETOOTH_RADIO_FIND>(find));
}

void TWin32Bluetooth::CloseRadio(TRadioHandle radio)
{
    CloseHandle(radio);
}

bool TWin32Bluetooth::GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info)
{
    const TBluetoothLibrary &library = Library();
    if (!library.Loaded())
        return false;
    auto radioInfo = Sized<BLUETOOTH_RADIO_INFO>();
    if (library.GetRadioInfo(radio, &radioInfo) != ERROR_SUCCESS)
        return false;
    info = TBluetoothRadioInfo{};
    CopyName(radioInfo.szName, info.Name);
    info.Address = radioInfo.address.ullLong;
    return true;
}

TFindHandle TWin32Bluetooth::FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device)
{
    // A search without a radio handle asks every radio, so it is no proof that
    // the library is there.
    const TBluetoothLibrary &library = Library();
    if (!library.Loaded())
        return nullptr;
    auto search = Sized<BLUETOOTH_DEVICE_SEARCH_PARAMS>();
    search.fReturnAuthenticated = params.ReturnAuthenticated;
    search.fReturnRemembered = params.ReturnRemembered;
    search.fReturnUnknown = params.ReturnUnknown;
    search.fReturnConnected = params.ReturnConnected;
    search.fIssueInquiry = params.IssueInquiry;
    search.cTimeoutMultiplier = params.TimeoutMultiplier;
    search.hRadio = params.Radio;

    auto info = Sized<BLUETOOTH_DEVICE_INFO>();
    const HBLUETOOTH_DEVICE_FIND find = library.FindFirstDevice(&search, &info);
    if (find != nullptr)
        CopyDevice(info, device);
    return find;
}

bool TWin32Bluetooth::FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device)
{
    auto info = Sized<BLUETOOTH_DEVICE_INFO>();
    if (!Library().FindNextDevice(static_cast<HBLUETOOTH_DEVICE_FIND>(find), &info))
        return false;
    CopyDevice(info, device);
    return true;
}

void TWin32Bluetooth::FindDeviceClose(TFindHandle find)
{
    Library().FindDeviceClose(static_cast<HBLUETOOTH_DEVICE_FIND>(find));
}

TStreamOpening TWin32Bluetooth::Open(std::uint64_t address)
{
    WSADATA data;
    const int started = WSAStartup(0x0202, &data);
    // WSAStartup returns its error itself; WSAGetLastError needs a started Winsock.
    if (started != 0)
        return {nullptr, "the sockets did not start: " + SystemErrorText(static_cast<unsigned long>(started))};
    const SOCKET socket = ::socket(AF_BTH, SOCK_STREAM, BTHPROTO_RFCOMM);
    if (socket == INVALID_SOCKET) {
        const std::string why = "no socket: " + SystemErrorText(static_cast<unsigned long>(WSAGetLastError()));
        WSACleanup();
        return {nullptr, why};
    }
    // From here the stream owns the socket and the start-up.
    auto stream = std::make_unique<TSocketStream>(socket, [](TSocketHandle connected) {
        closesocket(connected);
        WSACleanup();
    });
    const std::int32_t on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof on);
    SOCKADDR_BTH target;
    std::memset(&target, 0, sizeof target);
    target.addressFamily = AF_BTH;
    target.btAddr = address;
    std::memcpy(&target.serviceClassId, SerialPortServiceClass.data(), SerialPortServiceClass.size());
    target.port = 0;  // the platform finds the service's RFCOMM channel itself
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&target), sizeof target) == SOCKET_ERROR)
        return {nullptr, SystemErrorText(static_cast<unsigned long>(WSAGetLastError()))};
    return {std::move(stream), {}};
}
