// How discovery and the link recognise the meter: its Bluetooth device name and
// the service class of its serial port.
#pragma once

#include "platform/bluetooth/bluetooth_transport.h"

#include <string_view>

// Compared code unit for code unit with the names the platform lists: letter
// case counts and nothing is trimmed.
inline constexpr char16_t MeterDeviceName[] = u"Dravel-GLAX20k";
inline constexpr std::u16string_view MeterDeviceNameView{MeterDeviceName};
static_assert(MeterDeviceNameView.size() == 14);

// The serial port profile {00001101-0000-1000-8000-00805F9B34FB} in the
// platform's GUID byte layout: the first three groups little-endian, the last
// eight bytes as written.
inline constexpr TServiceClassId MeterServiceClass = {0x01, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                                                      0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
