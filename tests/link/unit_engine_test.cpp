// The simulated unit's protocol side: requests split anywhere, damaged requests refused.
#include "unit_engine.h"

#include <gtest/gtest.h>

#include "link/protocol.h"

namespace orv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WriteRequest(int block, std::uint8_t fill) {
    proto::Block data;
    data.fill(fill);
    const auto r = proto::WriteBlockRequest(block, data);
    return Bytes(r.begin(), r.end());
}

TEST(UnitEngine, RequestsSplitAnywhereAreAnsweredOnce) {
    Bytes stream{0x14};
    for (std::uint8_t b : proto::ReadBlockRequest(3)) stream.push_back(b);
    const Bytes write = WriteRequest(7, 0xA5);
    stream.insert(stream.end(), write.begin(), write.end());
    for (std::size_t chunk : {1u, 2u, 5u, 36u, 100u}) {
        Image eeprom{};
        sim::UnitEngine engine({}, eeprom);
        Bytes out;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            const std::size_t n = std::min(chunk, stream.size() - at);
            engine.Receive(std::span(stream.data() + at, n), out);
        }
        ASSERT_EQ(out.size(), 1u + 35u + 1u) << chunk;
        EXPECT_EQ(out[0], 0x11);
        EXPECT_EQ(out.back(), 0x06);
        EXPECT_EQ(eeprom[7 * 16], 0xA5);
        EXPECT_EQ(engine.BlocksServed(), 2);
    }
}

TEST(UnitEngine, DamagedWritesAreRefused) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::uint8_t reply;
    } cases[] = {
        {"intact", [](Bytes&) {}, 0x06},
        {"checksum", [](Bytes& r) { r[36] ^= 1; }, 0x15},
        {"nibble above 0x0F", [](Bytes& r) { r[10] |= 0x10; }, 0x15},
        {"unit area block", [](Bytes& r) { r[2] = 1, r[3] = 0x0F; }, 0x15},
    };
    for (const auto& c : cases) {
        Image eeprom{};
        sim::UnitEngine engine({}, eeprom);
        Bytes request = WriteRequest(5, 0x3C);
        c.damage(request);
        Bytes out;
        engine.Receive(request, out);
        ASSERT_EQ(out.size(), 1u) << c.what;
        EXPECT_EQ(out[0], c.reply) << c.what;
        EXPECT_EQ(eeprom[5 * 16] == 0x3C, c.reply == 0x06) << c.what;
    }
}

}  // namespace
}  // namespace orv
