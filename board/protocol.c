/*
 * protocol.c - CRC-32 and the firmware image container, written once for
 * the board model, the kernel driver, velnorctl and the tests.
 *
 * Freestanding: no allocation, and of the C library only memcpy, memset and
 * memcmp.
 */
#include "velnor_board_protocol.h"

#include <string.h>

_Static_assert(sizeof(vlb_version) == 44, "the version record is 44 bytes");
_Static_assert(sizeof(vlb_image_header) == VLB_IMAGE_HEADER_SIZE, "image header is 64 bytes");
_Static_assert(offsetof(vlb_image_header, header_version) == 4 &&
                   offsetof(vlb_image_header, major) == 8 &&
                   offsetof(vlb_image_header, text) == 20 &&
                   offsetof(vlb_image_header, payload_length) == 52 &&
                   offsetof(vlb_image_header, payload_crc32) == 56 &&
                   offsetof(vlb_image_header, zero) == 60,
               "image header layout");

/* The reflected IEEE 802.3 polynomial, four bits at a time: a 64-byte table
 * small enough for the kernel image. */
static const uint32_t crc_nibbles[16] = {
    0x00000000u, 0x1DB71064u, 0x3B6E20C8u, 0x26D930ACu, 0x76DC4190u, 0x6B6B51F4u,
    0x4DB26158u, 0x5005713Cu, 0xEDB88320u, 0xF00F9344u, 0xD6D6A3E8u, 0xCB61B38Cu,
    0x9B64C2B0u, 0x86D3D2D4u, 0xA00AE278u, 0xBDBDF21Cu,
};

static uint32_t read_u32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static void write_u32(uint8_t* p, uint32_t value) {
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

uint32_t vlb_crc32(uint32_t crc, const void* data, size_t length) {
    const uint8_t* bytes = (const uint8_t*)data;
    size_t i;
    crc = ~crc;
    for (i = 0; i < length; ++i) {
        crc ^= bytes[i];
        crc = (crc >> 4) ^ crc_nibbles[crc & 0x0Fu];
        crc = (crc >> 4) ^ crc_nibbles[crc & 0x0Fu];
    }
    return ~crc;
}

int vlb_image_write_header(uint8_t header[VLB_IMAGE_HEADER_SIZE], uint32_t major, uint32_t minor,
                           uint32_t patch, const char* text, const void* payload,
                           size_t payload_length) {
    size_t text_length = 0;
    if (payload_length > VLB_IMAGE_PAYLOAD_MAX) {
        return VLB_IMAGE_TOO_LARGE;
    }
    if (text != NULL) {
        while (text_length <= VLB_TEXT_SIZE && text[text_length] != '\0') {
            ++text_length;
        }
        if (text_length > VLB_TEXT_SIZE) {
            return VLB_IMAGE_TEXT_TOO_LONG;
        }
    }
    memset(header, 0, VLB_IMAGE_HEADER_SIZE);
    memcpy(header + offsetof(vlb_image_header, magic), VLB_IMAGE_MAGIC, 4);
    write_u32(header + offsetof(vlb_image_header, header_version), VLB_IMAGE_HEADER_VERSION);
    write_u32(header + offsetof(vlb_image_header, major), major);
    write_u32(header + offsetof(vlb_image_header, minor), minor);
    write_u32(header + offsetof(vlb_image_header, patch), patch);
    if (text_length != 0) {
        memcpy(header + offsetof(vlb_image_header, text), text, text_length);
    }
    write_u32(header + offsetof(vlb_image_header, payload_length), (uint32_t)payload_length);
    write_u32(header + offsetof(vlb_image_header, payload_crc32),
              vlb_crc32(0, payload, payload_length));
    return VLB_IMAGE_OK;
}

int vlb_image_read_header(const uint8_t* bytes, size_t available, uint64_t image_size,
                          vlb_image_header* header) {
    uint32_t payload_length;
    if (bytes == NULL || available < VLB_IMAGE_HEADER_SIZE || image_size < VLB_IMAGE_HEADER_SIZE) {
        return VLB_IMAGE_SHORT_HEADER;
    }
    if (memcmp(bytes + offsetof(vlb_image_header, magic), VLB_IMAGE_MAGIC, 4) != 0) {
        return VLB_IMAGE_BAD_MAGIC;
    }
    if (read_u32(bytes + offsetof(vlb_image_header, header_version)) != VLB_IMAGE_HEADER_VERSION) {
        return VLB_IMAGE_BAD_HEADER_VERSION;
    }
    if (read_u32(bytes + offsetof(vlb_image_header, zero)) != 0) {
        return VLB_IMAGE_BAD_RESERVED;
    }
    payload_length = read_u32(bytes + offsetof(vlb_image_header, payload_length));
    if (payload_length > VLB_IMAGE_PAYLOAD_MAX) {
        return VLB_IMAGE_TOO_LARGE;
    }
    if (image_size != (uint64_t)VLB_IMAGE_HEADER_SIZE + payload_length) {
        return VLB_IMAGE_LENGTH_MISMATCH;
    }
    if (header != NULL) {
        memcpy(header->magic, bytes + offsetof(vlb_image_header, magic), 4);
        header->header_version = VLB_IMAGE_HEADER_VERSION;
        header->major = read_u32(bytes + offsetof(vlb_image_header, major));
        header->minor = read_u32(bytes + offsetof(vlb_image_header, minor));
        header->patch = read_u32(bytes + offsetof(vlb_image_header, patch));
        memcpy(header->text, bytes + offsetof(vlb_image_header, text), VLB_TEXT_SIZE);
        header->payload_length = payload_length;
        header->payload_crc32 = read_u32(bytes + offsetof(vlb_image_header, payload_crc32));
        header->zero = 0;
    }
    return VLB_IMAGE_OK;
}

int vlb_image_check(const uint8_t* image, size_t image_size, vlb_image_header* header) {
    vlb_image_header read;
    int result = vlb_image_read_header(image, image_size, image_size, &read);
    if (result != VLB_IMAGE_OK) {
        return result;
    }
    if (vlb_crc32(0, image + VLB_IMAGE_HEADER_SIZE, read.payload_length) != read.payload_crc32) {
        return VLB_IMAGE_BAD_CRC;
    }
    if (header != NULL) {
        *header = read;
    }
    return VLB_IMAGE_OK;
}

size_t vlb_image_block_count(size_t image_size) {
    return image_size / VLB_BLOCK_DATA_MAX + (image_size % VLB_BLOCK_DATA_MAX != 0 ? 1u : 0u);
}

void vlb_image_block(const uint8_t* image, size_t image_size, size_t index,
                     uint8_t block[VLB_BLOCK_SIZE]) {
    size_t offset = index * VLB_BLOCK_DATA_MAX;
    size_t length = 0;
    if (offset < image_size) {
        length = image_size - offset;
        if (length > VLB_BLOCK_DATA_MAX) {
            length = VLB_BLOCK_DATA_MAX;
        }
    }
    memset(block, 0, VLB_BLOCK_SIZE);
    write_u32(block, (uint32_t)offset);
    write_u32(block + 4, (uint32_t)length);
    if (length != 0) {
        memcpy(block + VLB_BLOCK_HEADER_SIZE, image + offset, length);
    }
}
