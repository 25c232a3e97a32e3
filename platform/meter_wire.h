// The meter's wire protocol on the link: one request byte, one message of a fixed
// size, one acknowledgement byte. The computer's side (link/) and the simulated
// meter (platform/sim/) both speak it.
#pragma once

#include <cstdint>

inline constexpr std::uint8_t RequestByte = 0x14;
inline constexpr std::uint8_t AckByte = 0x19;
inline constexpr std::int32_t ReadingMessageSize = 136;
