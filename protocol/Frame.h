#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Frame: AA 55, command, data count N, N data bytes, check byte, AA. No escaping:
// a frame is recognised by position alone, so it must arrive as one block.

constexpr std::size_t FrameBufferSize = 204;   // parameter record and write frame
constexpr std::size_t FrameCheckOffset = 202;
constexpr std::size_t FrameEndOffset = 203;

constexpr std::uint8_t FrameStart1 = 0xAA;
constexpr std::uint8_t FrameStart2 = 0x55;
constexpr std::uint8_t FrameEnd = 0xAA;

constexpr std::uint8_t CmdReadRequest = 0x14;      // tool to logger: the probe
constexpr std::uint8_t CmdParameterRecord = 0x94;  // logger to tool: answer to the probe
constexpr std::uint8_t CmdParameterWrite = 0x95;   // tool to logger
constexpr std::uint8_t CmdSaveAck = 0x15;          // logger to tool: answer to a write
constexpr std::uint8_t WriteFrameDataCount = 0xC6; // 198 data bytes, offsets 4 to 201

constexpr std::array<std::uint8_t, 7> ProbeRequest = {0xAA, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAA};

using TFrameBuffer = std::array<std::uint8_t, FrameBufferSize>;

// Checks a received block of Len bytes that starts at Buf[0]. A block longer than
// the receive buffer can never be a frame of this protocol and fails, so that a
// caller never needs to hold more than FrameBufferSize bytes of it.
bool CheckFrame(const std::uint8_t *Buf, std::size_t Len);

// 8-bit sum of Buf[2] .. Buf[Last]; 0 when Last < 2. The caller stores it at
// Last + 1 and the end byte at Last + 2.
std::uint8_t FrameCheckByte(const std::uint8_t *Buf, int Last);
