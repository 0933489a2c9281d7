#include "link/protocol.h"

namespace orv::proto {
namespace {

unsigned Sum(std::span<const std::uint8_t, kBlockSize> data) {
    unsigned sum = 0;
    for (std::uint8_t b : data) sum += b;
    return sum;
}

}  // namespace

std::uint8_t BlockChecksum7(std::span<const std::uint8_t, kBlockSize> data) {
    return static_cast<std::uint8_t>(Sum(data) % 128);
}

std::uint8_t BlockChecksum8(std::span<const std::uint8_t, kBlockSize> data) {
    return static_cast<std::uint8_t>(Sum(data) % 256);
}

std::array<std::uint8_t, kReadRequestSize> ReadBlockRequest(int block) {
    return {kCommandPrefix, kCmdReadBlock, static_cast<std::uint8_t>(block & 0x0F),
            static_cast<std::uint8_t>((block >> 4) & 0x0F)};
}

std::array<std::uint8_t, kWriteRequestSize> WriteBlockRequest(
    int block, std::span<const std::uint8_t, kBlockSize> data) {
    std::array<std::uint8_t, kWriteRequestSize> out{};
    out[0] = kCommandPrefix;
    out[1] = kCmdWriteBlock;
    out[2] = static_cast<std::uint8_t>(block & 0x0F);
    out[3] = static_cast<std::uint8_t>((block >> 4) & 0x0F);
    for (int i = 0; i < kBlockSize; ++i) {
        out[4 + 2 * i] = data[i] & 0x0F;
        out[5 + 2 * i] = data[i] >> 4;
    }
    out[kWriteRequestSize - 1] = BlockChecksum7(data);
    return out;
}

std::array<std::uint8_t, kMacRequestSize> MacWriteRequest(const Image& image) {
    std::array<std::uint8_t, kMacRequestSize> out{};
    out[0] = kCommandPrefix;
    out[1] = kCmdWriteMac;
    out[2] = static_cast<std::uint8_t>(kMacBlock);
    std::span<const std::uint8_t, kBlockSize> data(image.data() + kMacAddress, kBlockSize);
    for (int i = 0; i < kBlockSize; ++i) out[3 + i] = data[i];
    out[kMacRequestSize - 1] = BlockChecksum8(data);
    return out;
}

int BlockFromNibbles(std::uint8_t low, std::uint8_t high) {
    return ((high & 0x0F) << 4) | (low & 0x0F);
}

std::uint8_t ByteFromNibbles(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint8_t>(((high & 0x0F) << 4) | (low & 0x0F));
}

}  // namespace orv::proto
