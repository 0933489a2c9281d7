// The image's public writers, in terms of the layout's cursor and channel word.
#include "image/layout.h"

namespace orv {

int PackChannelWord(std::span<std::uint8_t> buffer, int address, std::uint32_t ric,
                    int functionCode, int baudCode, int alphaBit, int repeatCode) {
    PackedWriter out(buffer, address);
    out.WriteWord(ChannelWord{ric, functionCode, baudCode, alphaBit, repeatCode});
    return out.address() - address;
}

int PutImageText(std::span<std::uint8_t> buffer, int address, std::string_view text,
                 int maxLength) {
    PackedWriter out(buffer, address);
    out.WriteText(text, static_cast<std::size_t>(std::max(maxLength - 1, 0)));
    return out.address() - address;
}

}  // namespace orv
