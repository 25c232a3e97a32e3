// SPDX-License-Identifier: Apache-2.0
// The meter's wire protocol on the link: one request byte, one message of a fixed
// size, one acknowledgement byte. The computer's side (link/) and the simulated
// meter (sim/) both speak it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t RequestByte = 0x14;
inline constexpr std::uint8_t AckByte = 0x19;
// The reading message's size in bytes, the one place that says it.
inline constexpr std::size_t ReadingMessageSize = 136;
