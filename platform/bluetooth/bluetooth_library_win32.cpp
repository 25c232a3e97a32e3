// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_library_win32.h"

namespace {

template <class TCall>
bool Resolve(HMODULE module, const char *name, TCall &call)
{
    call = reinterpret_cast<TCall>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    return call != nullptr;
}

} // namespace

TBluetoothLibrary::TBluetoothLibrary(const wchar_t *fileName)
{
    // Only the system folder: a library of that name beside the program or in
    // the working folder must not be taken for the system's.
    const HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr)
        return;
    const bool complete = Resolve(module, "BluetoothFindFirstRadio", FindFirstRadio) &&
                          Resolve(module, "BluetoothFindNextRadio", FindNextRadio) &&
                          Resolve(module, "BluetoothFindRadioClose", FindRadioClose) &&
                          Resolve(module, "BluetoothFindFirstDevice", FindFirstDevice) &&
                          Resolve(module, "BluetoothFindNextDevice", FindNextDevice) &&
                          Resolve(module, "BluetoothFindDeviceClose", FindDeviceClose) &&
                          Resolve(module, "BluetoothGetRadioInfo", GetRadioInfo);
    if (!complete) {
        FindFirstRadio = nullptr;
        FindNextRadio = nullptr;
        FindRadioClose = nullptr;
        FindFirstDevice = nullptr;
        FindNextDevice = nullptr;
        FindDeviceClose = nullptr;
        GetRadioInfo = nullptr;
        FreeLibrary(module);
        return;
    }
    FModule = module;
}

TBluetoothLibrary::~TBluetoothLibrary()
{
    if (FModule != nullptr)
        FreeLibrary(FModule);
}

const TBluetoothLibrary &SystemBluetoothLibrary()
{
    static const TBluetoothLibrary library(SystemBluetoothLibraryName);
    return library;
}
