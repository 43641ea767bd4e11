#include "board_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kMHz = 1000000;

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

Bytes le32(uint32_t v) {
    Bytes b(4);
    put32(b, 0, v);
    return b;
}

Bytes clockRecord(uint32_t mode, int64_t hz, uint32_t reserved = 0) {
    Bytes b(16);
    put32(b, 0, mode);
    put32(b, 4, reserved);
    put32(b, 8, static_cast<uint32_t>(static_cast<uint64_t>(hz)));
    put32(b, 12, static_cast<uint32_t>(static_cast<uint64_t>(hz) >> 32));
    return b;
}

struct Reply {
    int outcome = -1;
    uint32_t returned = 0xFFFFFFFF;
    int32_t status = 0x7FFFFFFF;
    Bytes payload;
    Bytes raw;
};

class BoardModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        vlbm_default_config(&config);
        vlbm_init(&board, &config);
    }

    Reply call(uint32_t fn, const Bytes& in = {}, uint32_t outLen = 64) {
        Reply r;
        r.raw.assign(64, 0xCC);
        r.outcome =
            vlbm_request(&board, fn, in.empty() ? nullptr : in.data(),
                         static_cast<uint32_t>(in.size()), r.raw.data(), outLen, &r.returned);
        if (r.outcome == VLBM_DONE) {
            r.status = static_cast<int32_t>(get32(r.raw.data()));
            r.payload.assign(r.raw.begin() + 4, r.raw.begin() + r.returned);
        }
        return r;
    }
    int32_t status(uint32_t fn, const Bytes& in = {}) { return call(fn, in).status; }
    uint32_t get(uint32_t fn) { return get32(call(fn).payload.data()); }

    int32_t regWrite(uint32_t address, uint32_t value) {
        Bytes in(8);
        put32(in, 0, address);
        put32(in, 4, value);
        return status(VLB_REQ_REG_WRITE, in);
    }
    uint8_t reg(uint32_t address) { return board.registers[address]; }
    Bytes snapshot() const {
        const auto* p = reinterpret_cast<const uint8_t*>(&board);
        return Bytes(p, p + sizeof board);
    }

    // The output frequency the AD9516 register file describes (10 MHz reference, R = 1).
    int64_t frequencyFromRegisters() {
        const int64_t n = 16 * (reg(0x014) | (reg(0x015) & 0x1F) << 8) + reg(0x013);
        const int64_t vco = n * 10 * kMHz;
        const int64_t d1 = reg(0x1E0) + 2;
        const int64_t d2 =
            (reg(0x19C) & 0x10) ? 1 : (reg(0x199) & 0x0F) + 1 + (reg(0x199) >> 4) + 1;
        EXPECT_GE(vco, 1800 * kMHz);
        EXPECT_LE(vco, 2200 * kMHz);
        EXPECT_EQ(vco % (d1 * d2), 0);
        return vco / (d1 * d2);
    }

    void updateState(uint32_t* state, uint32_t* received) {
        Reply r = call(VLB_REQ_UPDATE_STATUS);
        ASSERT_EQ(r.status, 0);
        *state = get32(r.payload.data());
        *received = get32(r.payload.data() + 4);
    }
    void startAndErase() {
        ASSERT_EQ(status(VLB_REQ_UPDATE_START), 0);
        for (int i = 0; i < VLBM_ERASE_POLLS; ++i) {
            call(VLB_REQ_UPDATE_STATUS);
        }
    }
    int32_t writeBlock(uint32_t offset, const uint8_t* data, uint32_t length) {
        Bytes block(VLB_BLOCK_SIZE, 0);
        put32(block, 0, offset);
        put32(block, 4, length);
        std::memcpy(block.data() + 8, data, std::min<uint32_t>(length, VLB_BLOCK_DATA_MAX));
        return status(VLB_REQ_UPDATE_WRITE, block);
    }
    int32_t sendImage(const Bytes& image, uint32_t blockSize) {
        for (uint32_t off = 0; off < image.size(); off += blockSize) {
            uint32_t len = std::min<uint32_t>(blockSize, static_cast<uint32_t>(image.size()) - off);
            int32_t s = writeBlock(off, image.data() + off, len);
            if (s != 0) {
                return s;
            }
        }
        return 0;
    }

    vlbm_config config{};
    vlbm_board board{};
};

static_assert(offsetof(vlb_image_header, text) == 20 &&
                  offsetof(vlb_image_header, payload_length) == 52 &&
                  offsetof(vlb_image_header, payload_crc32) == 56 &&
                  offsetof(vlb_image_header, zero) == 60,
              "image header layout");

Bytes makeImage(uint32_t major, uint32_t minor, uint32_t patch, const std::string& text,
                size_t payloadSize) {
    Bytes payload(payloadSize);
    for (size_t i = 0; i < payloadSize; ++i) {
        payload[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    Bytes image(VLB_IMAGE_HEADER_SIZE, 0);
    std::memcpy(image.data(), "VLFW", 4);
    put32(image, 4, 1);
    put32(image, 8, major);
    put32(image, 12, minor);
    put32(image, 16, patch);
    std::memcpy(image.data() + 20, text.data(), text.size());
    put32(image, 52, static_cast<uint32_t>(payloadSize));
    put32(image, 56, vlb_crc32(0, payload.data(), payload.size()));
    image.insert(image.end(), payload.begin(), payload.end());
    return image;
}

TEST(BoardModelCrc, MatchesTheStandardCheckValueAndChains) {
    const char* digits = "123456789";
    EXPECT_EQ(vlb_crc32(0, digits, 9), 0xCBF43926u);
    EXPECT_EQ(vlb_crc32(vlb_crc32(0, digits, 4), digits + 4, 5), 0xCBF43926u);
    EXPECT_EQ(vlb_crc32(0x12345678u, digits, 0), 0x12345678u);
    EXPECT_EQ(vlb_crc32(0, "", 0), 0u);
}

TEST_F(BoardModelTest, EveryRequestWritesExactlyStatusAndPayload) {
    for (uint32_t fn = 0; fn < VLB_REQUEST_COUNT; ++fn) {
        SCOPED_TRACE(fn);
        const int length = vlb_request_payload_length(fn);
        ASSERT_GE(length, 0);
        Reply r = call(fn, Bytes(static_cast<size_t>(vlb_request_input_length(fn)), 0));
        ASSERT_EQ(r.outcome, VLBM_DONE);
        EXPECT_EQ(r.returned, 4u + static_cast<uint32_t>(length));
        EXPECT_EQ(r.raw[r.returned], 0xCC) << "wrote past the reply";
    }
    const int expected[VLB_REQUEST_COUNT] = {44, 44, 0, 8, 0,  0, 0, 4, 0,
                                             4,  0,  4, 0, 16, 0, 0, 1, 32};
    const int inputs[VLB_REQUEST_COUNT] = {0, 0, 0, 0, 1032, 0,  0, 0, 4,
                                           0, 4, 0, 4, 0,    16, 8, 4, 0};
    for (uint32_t fn = 0; fn < VLB_REQUEST_COUNT; ++fn) {
        EXPECT_EQ(vlb_request_payload_length(fn), expected[fn]) << fn;
        EXPECT_EQ(vlb_request_input_length(fn), inputs[fn]) << fn;
    }
}

TEST_F(BoardModelTest, ReplyBufferOneByteShortIsRefusedUntouched) {
    for (uint32_t fn = 0; fn < VLB_REQUEST_COUNT; ++fn) {
        SCOPED_TRACE(fn);
        Reply r = call(fn, Bytes(static_cast<size_t>(vlb_request_input_length(fn)), 0),
                       3u + static_cast<uint32_t>(vlb_request_payload_length(fn)));
        EXPECT_EQ(r.outcome, VLBM_BUFFER_TOO_SMALL);
        EXPECT_EQ(r.returned, 0xFFFFFFFFu);
        EXPECT_EQ(r.raw, Bytes(64, 0xCC));
    }
}

TEST_F(BoardModelTest, UnknownRequestIsRefused) {
    for (uint32_t fn : {18u, 19u, 0x800u, 0xFFFFFFFFu}) {
        EXPECT_EQ(call(fn).outcome, VLBM_UNKNOWN_REQUEST) << fn;
        EXPECT_EQ(vlb_request_payload_length(fn), -1);
        EXPECT_EQ(vlb_request_input_length(fn), -1);
    }
}

TEST_F(BoardModelTest, ShortOrMissingInputIsAnInvalidParameter) {
    for (uint32_t fn = 0; fn < VLB_REQUEST_COUNT; ++fn) {
        const int need = vlb_request_input_length(fn);
        if (need == 0) {
            continue;
        }
        SCOPED_TRACE(fn);
        EXPECT_EQ(call(fn, Bytes(static_cast<size_t>(need) - 1, 1)).outcome,
                  VLBM_INVALID_PARAMETER);
        uint8_t out[64];
        uint32_t returned = 0;
        EXPECT_EQ(vlbm_request(&board, fn, nullptr, static_cast<uint32_t>(need), out, sizeof out,
                               &returned),
                  VLBM_INVALID_PARAMETER);
    }
    EXPECT_EQ(get(VLB_REQ_GET_LED), 0u);
}

TEST_F(BoardModelTest, DefaultVersionsAreReportedInTheVersionRecordLayout) {
    Reply r = call(VLB_REQ_GET_DRIVER_VERSION);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(get32(&r.payload[0]), 2u);
    EXPECT_EQ(get32(&r.payload[4]), 4u);
    EXPECT_EQ(get32(&r.payload[8]), 1u);
    Bytes text(32, 0);
    std::memcpy(text.data(), "2.4.1", 5);
    EXPECT_EQ(Bytes(r.payload.begin() + 12, r.payload.end()), text);
    r = call(VLB_REQ_GET_FIRMWARE_VERSION);
    EXPECT_EQ(get32(&r.payload[0]), 1u);
    EXPECT_EQ(get32(&r.payload[4]), 3u);
    EXPECT_EQ(get32(&r.payload[8]), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r.payload[12])), "1.3.0");
}

TEST_F(BoardModelTest, SerialIsZeroPaddedOrExactlyThirtyTwoCharacters) {
    Reply r = call(VLB_REQ_GET_SERIAL);
    Bytes expected(32, 0);
    std::memcpy(expected.data(), "VLN-SIM-0000", 12);
    EXPECT_EQ(r.payload, expected);

    const char full[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    std::memcpy(config.serial, full, 32);
    vlbm_init(&board, &config);
    r = call(VLB_REQ_GET_SERIAL);
    EXPECT_EQ(r.payload, Bytes(full, full + 32));
    EXPECT_EQ(r.raw[36], 0xCC);
}

struct RangedProperty {
    uint32_t set;
    uint32_t get;
    uint32_t max;
};

TEST_F(BoardModelTest, RangedPropertiesKeepValidValuesAndRefuseOthers) {
    const RangedProperty properties[] = {
        {VLB_REQ_SET_LED, VLB_REQ_GET_LED, 2},
        {VLB_REQ_SET_TRIGGER_POLARITY, VLB_REQ_GET_TRIGGER_POLARITY, 1},
        {VLB_REQ_SET_TRIGGER_STATUS, VLB_REQ_GET_TRIGGER_STATUS, 1}};
    for (const auto& p : properties) {
        SCOPED_TRACE(p.set);
        EXPECT_EQ(get(p.get), 0u);
        for (uint32_t v = 0; v <= p.max; ++v) {
            EXPECT_EQ(status(p.set, le32(v)), 0);
            EXPECT_EQ(get(p.get), v);
        }
        for (uint32_t bad : {p.max + 1, 0x100u, 0x80000000u, 0xFFFFFFFFu}) {
            EXPECT_EQ(status(p.set, le32(bad)), VLB_STATUS_INVALID_DATA);
            EXPECT_EQ(get(p.get), p.max);
        }
    }
}

TEST_F(BoardModelTest, OnlyAnArmedTriggerFiresAndSettingOverwritesIt) {
    vlbm_fire_trigger(&board);
    EXPECT_EQ(get(VLB_REQ_GET_TRIGGER_STATUS), 0u);
    ASSERT_EQ(status(VLB_REQ_SET_TRIGGER_STATUS, le32(1)), 0);
    vlbm_fire_trigger(&board);
    EXPECT_EQ(get(VLB_REQ_GET_TRIGGER_STATUS), 2u);
    EXPECT_EQ(status(VLB_REQ_SET_TRIGGER_STATUS, le32(2)), VLB_STATUS_INVALID_DATA);
    ASSERT_EQ(status(VLB_REQ_SET_TRIGGER_STATUS, le32(1)), 0);
    EXPECT_EQ(get(VLB_REQ_GET_TRIGGER_STATUS), 1u);
}

TEST_F(BoardModelTest, PowersOnAtOneHundredMegahertzInternal) {
    EXPECT_EQ(call(VLB_REQ_GET_CLOCK).payload, clockRecord(0, 100 * kMHz));
    EXPECT_EQ(frequencyFromRegisters(), 100 * kMHz);
    EXPECT_EQ(reg(0x000), 0x18);
    EXPECT_EQ(reg(0x003), 0x01);
    EXPECT_EQ(reg(0x1E1) & 0x03, 0x02) << "VCO selected, VCO divider in use";
}

TEST_F(BoardModelTest, EveryProducibleFrequencyProgramsMatchingDividers) {
    std::set<int64_t> producible;
    for (int64_t v = 1800 * kMHz; v <= 2200 * kMHz; v += 10 * kMHz) {
        for (int64_t d1 = 2; d1 <= 6; ++d1) {
            for (int64_t d2 = 1; d2 <= 32; ++d2) {
                if (v % (d1 * d2) == 0) {
                    producible.insert(v / (d1 * d2));
                }
            }
        }
    }
    ASSERT_EQ(producible.size(), 863u);
    for (int64_t f : producible) {
        SCOPED_TRACE(f);
        ASSERT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(0, f)), 0);
        EXPECT_EQ(frequencyFromRegisters(), f);
        EXPECT_EQ(call(VLB_REQ_GET_CLOCK).payload, clockRecord(0, f));
    }
}

TEST_F(BoardModelTest, DividerSearchPrefersTheLowestVcoThenTheLowestVcoDivider) {
    int64_t vco = 0;
    uint32_t d1 = 0, d2 = 0;
    ASSERT_EQ(vlbm_find_dividers(10 * kMHz, &vco, &d1, &d2), 1);
    EXPECT_EQ(vco, 1800 * kMHz);
    EXPECT_EQ(d1, 6u);
    EXPECT_EQ(d2, 30u);
    ASSERT_EQ(vlbm_find_dividers(100 * kMHz, &vco, &d1, &d2), 1);
    EXPECT_EQ(vco, 1800 * kMHz);
    EXPECT_EQ(d1, 2u);
    EXPECT_EQ(d2, 9u);
    ASSERT_EQ(vlbm_find_dividers(1100 * kMHz, &vco, &d1, &d2), 1);
    EXPECT_EQ(d2, 1u);
}

TEST_F(BoardModelTest, UnreachableInternalFrequencyLeavesThePllUnlockedAndStateUnchanged) {
    const Bytes before = snapshot();
    for (int64_t f : {int64_t{123456789}, int64_t{0}, int64_t{-100000000}, 800 * kMHz,
                      int64_t{1100000001}, 9375000 - int64_t{1}, INT64_MAX, INT64_MIN}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(0, f)), VLB_STATUS_PLL_NOT_LOCKED);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(BoardModelTest, ExternalReferenceIsAcceptedFromOneHertzToOneGigahertz) {
    for (int64_t f : {int64_t{1}, 123456789 + int64_t{0}, 1000 * kMHz}) {
        ASSERT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(1, f)), 0) << f;
        EXPECT_EQ(call(VLB_REQ_GET_CLOCK).payload, clockRecord(1, f));
        EXPECT_EQ(reg(0x1E1) & 0x03, 0x01) << "CLK input selected, VCO divider bypassed";
    }
    for (int64_t f : {int64_t{0}, int64_t{-1}, 1000 * kMHz + 1, INT64_MIN}) {
        EXPECT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(1, f)), VLB_STATUS_INVALID_DATA) << f;
    }
    for (uint32_t mode : {2u, 0x100u, 0xFFFFFFFFu}) {
        EXPECT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(mode, 100 * kMHz)),
                  VLB_STATUS_INVALID_DATA);
    }
    EXPECT_EQ(call(VLB_REQ_GET_CLOCK).payload, clockRecord(1, 1000 * kMHz));
    ASSERT_EQ(status(VLB_REQ_SET_CLOCK, clockRecord(0, 125 * kMHz)), 0);
    EXPECT_EQ(reg(0x1E1) & 0x03, 0x02);
    EXPECT_EQ(frequencyFromRegisters(), 125 * kMHz);
}

TEST_F(BoardModelTest, ClockRecordKeepsItsReservedBytes) {
    const Bytes record = clockRecord(0, 250 * kMHz, 0xDEADBEEF);
    ASSERT_EQ(status(VLB_REQ_SET_CLOCK, record), 0);
    EXPECT_EQ(call(VLB_REQ_GET_CLOCK).payload, record);
}

TEST_F(BoardModelTest, RegistersRoundTripWithinTheirRange) {
    for (uint32_t address : {0x000u, 0x123u, 0x231u}) {
        ASSERT_EQ(regWrite(address, 0xA5), 0);
        Reply r = call(VLB_REQ_REG_READ, le32(address));
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.payload, Bytes{0xA5});
    }
    EXPECT_EQ(regWrite(0x232, 0x01), 0);
    EXPECT_EQ(call(VLB_REQ_REG_READ, le32(0x232)).payload, Bytes{0x00})
        << "update bit clears itself";

    const Bytes before = snapshot();
    EXPECT_EQ(regWrite(0x233, 0x00), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(regWrite(0xFFFFFFFF, 0x00), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(regWrite(0x010, 0x100), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(regWrite(0x010, 0xFFFFFFFF), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(snapshot(), before);
    Reply r = call(VLB_REQ_REG_READ, le32(0x233));
    EXPECT_EQ(r.status, VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(r.payload, Bytes{0x00}) << "payload is zero when the status is not";
}

class BoardUpdateBlockSize : public BoardModelTest,
                             public ::testing::WithParamInterface<uint32_t> {};

TEST_P(BoardUpdateBlockSize, ValidImageBecomesTheFirmware) {
    const Bytes image = makeImage(7, 8, 9, "7.8.9-test", 3000);
    uint32_t state = 0, received = 0;
    ASSERT_EQ(status(VLB_REQ_UPDATE_START), 0);
    for (uint32_t expected : {1u, 1u, 2u}) {
        updateState(&state, &received);
        EXPECT_EQ(state, expected);
    }
    ASSERT_EQ(sendImage(image, GetParam()), 0);
    updateState(&state, &received);
    EXPECT_EQ(state, 2u);
    EXPECT_EQ(received, image.size());
    ASSERT_EQ(status(VLB_REQ_UPDATE_COMPLETE), 0);
    updateState(&state, &received);
    EXPECT_EQ(state, 4u);

    Reply r = call(VLB_REQ_GET_FIRMWARE_VERSION);
    EXPECT_EQ(get32(&r.payload[0]), 7u);
    EXPECT_EQ(get32(&r.payload[4]), 8u);
    EXPECT_EQ(get32(&r.payload[8]), 9u);
    EXPECT_EQ(std::memcmp(&r.payload[12], &image[20], 32), 0);
    EXPECT_EQ(get32(call(VLB_REQ_GET_DRIVER_VERSION).payload.data()), 2u);
    EXPECT_EQ(status(VLB_REQ_UPDATE_START), 0) << "a finished update may start again";
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, BoardUpdateBlockSize, ::testing::Values(1024u, 64u, 10u, 1u));

struct Corruption {
    const char* what;
    size_t at;
    uint8_t xorMask;
};

TEST_F(BoardModelTest, BadImageFailsVerificationAndKeepsTheFirmware) {
    const Corruption corruptions[] = {{"payload byte", 100, 0x01},  {"crc", 56, 0x80},
                                      {"magic", 0, 0x20},           {"header version", 4, 0x03},
                                      {"payload length", 52, 0x01}, {"zero field", 60, 0x01}};
    for (const auto& c : corruptions) {
        SCOPED_TRACE(c.what);
        Bytes image = makeImage(9, 9, 9, "9.9.9", 500);
        image[c.at] ^= c.xorMask;
        ASSERT_EQ(status(VLB_REQ_UPDATE_RESET), 0);
        startAndErase();
        ASSERT_EQ(sendImage(image, 1024), 0);
        EXPECT_EQ(status(VLB_REQ_UPDATE_COMPLETE), VLB_STATUS_INVALID_DATA);
        uint32_t state = 0, received = 0;
        updateState(&state, &received);
        EXPECT_EQ(state, 5u);
        EXPECT_EQ(get32(call(VLB_REQ_GET_FIRMWARE_VERSION).payload.data()), 1u);
    }
    startAndErase(); // a failed update may start again
    ASSERT_EQ(sendImage(Bytes(63, 0), 1024), 0);
    EXPECT_EQ(status(VLB_REQ_UPDATE_COMPLETE), VLB_STATUS_INVALID_DATA) << "shorter than a header";
}

TEST_F(BoardModelTest, UpdateCallsOutOfOrderAreRefused) {
    const uint8_t data[VLB_BLOCK_DATA_MAX + 8] = {};
    EXPECT_EQ(writeBlock(0, data, 16), VLB_STATUS_UPDATE_INVALID_STATUS);
    EXPECT_EQ(status(VLB_REQ_UPDATE_COMPLETE), VLB_STATUS_UPDATE_INVALID_STATUS);
    ASSERT_EQ(status(VLB_REQ_UPDATE_START), 0);
    EXPECT_EQ(status(VLB_REQ_UPDATE_START), VLB_STATUS_UPDATE_INVALID_STATUS);
    EXPECT_EQ(writeBlock(0, data, 16), VLB_STATUS_UPDATE_INVALID_STATUS) << "still erasing";
    EXPECT_EQ(status(VLB_REQ_UPDATE_COMPLETE), VLB_STATUS_UPDATE_INVALID_STATUS);
    for (int i = 0; i < VLBM_ERASE_POLLS; ++i) {
        call(VLB_REQ_UPDATE_STATUS);
    }
    EXPECT_EQ(status(VLB_REQ_UPDATE_START), VLB_STATUS_UPDATE_INVALID_STATUS);
    ASSERT_EQ(writeBlock(0, data, 16), 0);
    EXPECT_EQ(writeBlock(0, data, 16), VLB_STATUS_UPDATE_INVALID_STATUS) << "repeated block";
    EXPECT_EQ(writeBlock(32, data, 16), VLB_STATUS_UPDATE_INVALID_STATUS) << "gap";
    EXPECT_EQ(writeBlock(16, data, 0), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(writeBlock(16, data, VLB_BLOCK_DATA_MAX + 1), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(writeBlock(VLB_IMAGE_MAX - 8, data, 16), VLB_STATUS_INVALID_DATA);
    EXPECT_EQ(writeBlock(0xFFFFFFF8u, data, 16), VLB_STATUS_INVALID_DATA);
    uint32_t state = 0, received = 0;
    updateState(&state, &received);
    EXPECT_EQ(state, 2u);
    EXPECT_EQ(received, 16u);
}

TEST_F(BoardModelTest, ResetMidwayDiscardsTheImageAndReturnsToIdle) {
    const Bytes image = makeImage(3, 0, 0, "3.0.0", 2000);
    startAndErase();
    ASSERT_EQ(writeBlock(0, image.data(), 1024), 0);
    ASSERT_EQ(status(VLB_REQ_UPDATE_RESET), 0);
    uint32_t state = 9, received = 9;
    updateState(&state, &received);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(status(VLB_REQ_UPDATE_COMPLETE), VLB_STATUS_UPDATE_INVALID_STATUS);
    EXPECT_EQ(status(VLB_REQ_UPDATE_RESET), 0) << "reset is always accepted";

    startAndErase();
    ASSERT_EQ(sendImage(image, 1024), 0);
    ASSERT_EQ(status(VLB_REQ_UPDATE_COMPLETE), 0);
    EXPECT_EQ(get32(call(VLB_REQ_GET_FIRMWARE_VERSION).payload.data()), 3u);
}

} // namespace
