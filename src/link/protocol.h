// The bytes of the unit protocol: command characters, replies, block encodings and checksums.
// Shared by the exchanges and by the simulated unit so both sides speak from one definition.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "image/image.h"

namespace orv::proto {

constexpr std::uint8_t kCommandPrefix = 0x13;
constexpr std::uint8_t kProbe = 0x14;
constexpr std::uint8_t kProbeReply = 0x11;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;

constexpr std::uint8_t kCmdVersion = 'V';
constexpr std::uint8_t kCmdModules = 'm';
constexpr std::uint8_t kCmdReadBlock = '#';
constexpr std::uint8_t kCmdWriteBlock = '!';
constexpr std::uint8_t kCmdWriteMac = '+';
constexpr std::uint8_t kCmdReset = 'R';
constexpr std::uint8_t kCmdPulseTimes = 't';

constexpr int kReadRequestSize = 4;
constexpr int kReadReplyLeadBytes = 3;
constexpr int kReadReplySize = kReadReplyLeadBytes + 2 * kBlockSize;  // 35
constexpr int kWriteRequestSize = 4 + 2 * kBlockSize + 1;             // 37
constexpr int kMacRequestSize = 3 + kBlockSize + 1;                   // 20

// Reply timeouts in milliseconds.
constexpr int kByteTimeoutMs = 250;
constexpr int kBlockAckTimeoutMs = 5000;
constexpr int kMacAckTimeoutMs = 500;
constexpr int kMaxSends = 4;  // a refused block goes out at most this often

using Block = std::array<std::uint8_t, kBlockSize>;

// Sum of the 16 bytes modulo 128 (block write) and modulo 256 (MAC write).
std::uint8_t BlockChecksum7(std::span<const std::uint8_t, kBlockSize> data);
std::uint8_t BlockChecksum8(std::span<const std::uint8_t, kBlockSize> data);

// 0x13 '#' n&15 n>>4&15.
std::array<std::uint8_t, kReadRequestSize> ReadBlockRequest(int block);
// 0x13 '!' n&15 n>>4&15, 32 nibble bytes (low first), 7-bit checksum.
std::array<std::uint8_t, kWriteRequestSize> WriteBlockRequest(
    int block, std::span<const std::uint8_t, kBlockSize> data);
// 0x13 '+' 0xF0, image bytes 3840..3855, 8-bit checksum.
std::array<std::uint8_t, kMacRequestSize> MacWriteRequest(const Image& image);

// Block number from its two nibble bytes (only the low 4 bits of each count).
int BlockFromNibbles(std::uint8_t low, std::uint8_t high);
// A data byte from its two nibble bytes (only the low 4 bits of each count).
std::uint8_t ByteFromNibbles(std::uint8_t low, std::uint8_t high);

}  // namespace orv::proto
