#pragma once

#include <cstdint>

// The command bytes of the link protocol and the replies the devices give.
namespace DeviceCommands {

inline constexpr std::uint8_t ProgramCardPoll = 0xD4;
inline constexpr std::uint8_t ProgramCardPollReply[] = {0xD6, 0x41};
inline constexpr int ProgramCardPollTimeoutMs = 150;

inline constexpr std::uint8_t EscPoll = 0xD5;
inline constexpr std::uint8_t EscPollReply = 0x26;
inline constexpr std::uint8_t EscFixModePoll = 0xD6;
inline constexpr std::uint8_t EscFixModePollReply = 0xD7;
inline constexpr int EscPollTimeoutMs = 50;

inline constexpr std::uint8_t Identify = 0xD7;
inline constexpr std::uint8_t IdentifyReplyLength = 8;
// A device that does not get its full reply out in time is asked once more
// and may then answer one byte short.
inline constexpr std::uint8_t IdentifyRetryReplyLength = 7;
inline constexpr int IdentifyTimeoutMs = 200;

} // namespace DeviceCommands
