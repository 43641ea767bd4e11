// CRC-32, the image header writer and reader, the image check and the block
// splitter of the board's protocol, against images laid out by hand here.
#include "velnor_board_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using bytes_t = std::vector<std::uint8_t>;

void put32(bytes_t& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// An image written out field by field; the CRC of "123456789" is the
// standard check value.
bytes_t hand_made_image() {
    bytes_t image(64 + 9, 0);
    std::memcpy(image.data(), "VLFW", 4);
    put32(image, 4, 1);
    put32(image, 8, 3);
    put32(image, 12, 1);
    put32(image, 16, 4);
    std::memcpy(&image[20], "3.1.4-rc", 8);
    put32(image, 52, 9);
    put32(image, 56, 0xCBF43926u);
    std::memcpy(&image[64], "123456789", 9);
    return image;
}

TEST(BoardProtocol, WriteHeaderLaysOutTheContainerByteForByte) {
    const bytes_t expected = hand_made_image();
    std::uint8_t header[VLB_IMAGE_HEADER_SIZE];
    std::memset(header, 0xAA, sizeof header);
    ASSERT_EQ(vlb_image_write_header(header, 3, 1, 4, "3.1.4-rc", "123456789", 9), VLB_IMAGE_OK);
    EXPECT_EQ(bytes_t(header, header + 64), bytes_t(expected.begin(), expected.begin() + 64));
}

TEST(BoardProtocol, WriteHeaderRefusesWhatTheBoardCannotTakeAndLeavesTheHeader) {
    struct case_t {
        const char* name;
        std::string text;
        std::size_t payload_length;
        int result;
    };
    const case_t cases[] = {
        {"33 characters", std::string(33, 'x'), 0, VLB_IMAGE_TEXT_TOO_LONG},
        {"payload one past the limit", "1.0.0", 16u * 1024u * 1024u - 64u + 1u,
         VLB_IMAGE_TOO_LARGE},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t header[VLB_IMAGE_HEADER_SIZE];
        std::memset(header, 0xAA, sizeof header);
        // The payload is never read when the length is refused.
        EXPECT_EQ(
            vlb_image_write_header(header, 1, 0, 0, c.text.c_str(), nullptr, c.payload_length),
            c.result);
        EXPECT_EQ(bytes_t(header, header + 64), bytes_t(64, 0xAA));
    }
    std::uint8_t header[VLB_IMAGE_HEADER_SIZE];
    const std::string full(32, 'y');
    ASSERT_EQ(vlb_image_write_header(header, 1, 0, 0, full.c_str(), nullptr, 0), VLB_IMAGE_OK);
    EXPECT_EQ(std::memcmp(header + 20, full.data(), 32), 0) << "no room kept for a terminator";
}

TEST(BoardProtocol, CheckFindsTheFirstFault) {
    struct case_t {
        const char* name;
        void (*spoil)(bytes_t&);
        int result;
    };
    const case_t cases[] = {
        {"intact", [](bytes_t&) {}, VLB_IMAGE_OK},
        {"63 bytes", [](bytes_t& b) { b.resize(63); }, VLB_IMAGE_SHORT_HEADER},
        {"magic", [](bytes_t& b) { b[3] = 'X'; }, VLB_IMAGE_BAD_MAGIC},
        {"header version", [](bytes_t& b) { b[4] = 2; }, VLB_IMAGE_BAD_HEADER_VERSION},
        {"reserved word", [](bytes_t& b) { b[63] = 1; }, VLB_IMAGE_BAD_RESERVED},
        {"reserved before length", [](bytes_t& b) { b[60] = 1, b.pop_back(); },
         VLB_IMAGE_BAD_RESERVED},
        {"payload above the limit", [](bytes_t& b) { put32(b, 52, 16u * 1024u * 1024u - 63u); },
         VLB_IMAGE_TOO_LARGE},
        {"one byte short", [](bytes_t& b) { b.pop_back(); }, VLB_IMAGE_LENGTH_MISMATCH},
        {"one byte extra", [](bytes_t& b) { b.push_back(0); }, VLB_IMAGE_LENGTH_MISMATCH},
        {"payload byte", [](bytes_t& b) { b[70] ^= 0x01; }, VLB_IMAGE_BAD_CRC},
        {"crc field", [](bytes_t& b) { b[59] ^= 0x80; }, VLB_IMAGE_BAD_CRC},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        bytes_t image = hand_made_image();
        c.spoil(image);
        vlb_image_header header;
        std::memset(&header, 0x5A, sizeof header);
        const vlb_image_header before = header;
        ASSERT_EQ(vlb_image_check(image.data(), image.size(), &header), c.result);
        if (c.result == VLB_IMAGE_OK) {
            EXPECT_EQ(header.major, 3u);
            EXPECT_EQ(header.minor, 1u);
            EXPECT_EQ(header.patch, 4u);
            EXPECT_EQ(std::string(header.text, 8), "3.1.4-rc");
            EXPECT_EQ(header.text[8], '\0');
            EXPECT_EQ(header.payload_length, 9u);
            EXPECT_EQ(header.payload_crc32, 0xCBF43926u);
        } else {
            EXPECT_EQ(std::memcmp(&header, &before, sizeof header), 0) << "header touched";
        }
    }
}

TEST(BoardProtocol, ReadHeaderNeedsOnlyTheFirst64BytesOfALargeFile) {
    const bytes_t image = hand_made_image();
    vlb_image_header header{};
    EXPECT_EQ(vlb_image_read_header(image.data(), 64, 73, &header), VLB_IMAGE_OK);
    EXPECT_EQ(header.payload_length, 9u);
    EXPECT_EQ(vlb_image_read_header(image.data(), 63, 73, &header), VLB_IMAGE_SHORT_HEADER);
    EXPECT_EQ(vlb_image_read_header(image.data(), 64, 74, &header), VLB_IMAGE_LENGTH_MISMATCH);
    // A size beyond 32 bits is not folded onto a matching one.
    EXPECT_EQ(vlb_image_read_header(image.data(), 64, (std::uint64_t{1} << 32) + 73, &header),
              VLB_IMAGE_LENGTH_MISMATCH);
}

TEST(BoardProtocol, BlocksCoverTheImageInOrderWithAZeroTail) {
    bytes_t image(2100);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    struct case_t {
        std::size_t size;
        std::size_t blocks;
    };
    for (const case_t c : {case_t{0, 0}, case_t{1, 1}, case_t{1024, 1}, case_t{1025, 2},
                           case_t{2048, 2}, case_t{2100, 3}}) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(vlb_image_block_count(c.size), c.blocks);
    }
    const std::uint32_t offsets[] = {0, 1024, 2048};
    const std::uint32_t lengths[] = {1024, 1024, 52};
    for (std::size_t index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        std::uint8_t block[VLB_BLOCK_SIZE];
        std::memset(block, 0xEE, sizeof block);
        vlb_image_block(image.data(), image.size(), index, block);
        bytes_t expected(1032, 0);
        put32(expected, 0, offsets[index]);
        put32(expected, 4, lengths[index]);
        std::memcpy(&expected[8], &image[offsets[index]], lengths[index]);
        EXPECT_EQ(bytes_t(block, block + 1032), expected);
    }
}

} // namespace
