// SPDX-License-Identifier: Apache-2.0
// How discovery recognises the meter: its Bluetooth device name.
#pragma once

#include <string_view>

// Compared code unit for code unit with the names the platform lists: letter
// case counts and nothing is trimmed.
inline constexpr char16_t MeterDeviceName[] = u"Dravel-GLAX20k";
inline constexpr std::u16string_view MeterDeviceNameView{MeterDeviceName};
static_assert(MeterDeviceNameView.size() == 14);
