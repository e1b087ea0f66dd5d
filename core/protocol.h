// The layout of the sampler's loader protocol, in one place: the tool builds its blocks from it,
// the simulated sampler checks them against it, and the tests read them with it.
//
// One exchange is: a 63-byte command block on the OUT pipe; for the geometry query an 8-byte reply
// on the IN pipe, for a write the chunk's bytes on the OUT pipe; then a 19-byte status block on
// the IN pipe. Numbers of more than one byte are little-endian. Every transfer waits at most two
// minutes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vt {

constexpr unsigned transfer_timeout_ms = 120000;

constexpr std::uint8_t CMD_GET_GEOMETRY = 1;
constexpr std::uint8_t CMD_ERASE_BLOCK = 2;
constexpr std::uint8_t CMD_WRITE_CHUNK = 3;

// The command block: every byte zero except these fields.
namespace command_field {
constexpr std::size_t size = 63;
constexpr std::size_t signature = 0;  // 4 bytes, "z48C"
constexpr char signature_text[] = "z48C";
constexpr std::size_t flags = 6;
constexpr std::size_t parameter_length = 7;  // bytes of parameters from `first` on
// The data length of the exchange (8 for the geometry reply, 0 for an erase, the chunk's length
// for a write) stands in exactly one of three places, chosen by its value; the others stay zero.
constexpr std::size_t length_1 = 8;   // 1 byte, for a length below 0x100
constexpr std::size_t length_2 = 9;   // 2 bytes, for 0x100 to 0xFFFF
constexpr std::size_t length_4 = 13;  // 4 bytes, for 0x10000 and more
constexpr std::size_t code = 17;      // CMD_GET_GEOMETRY, CMD_ERASE_BLOCK or CMD_WRITE_CHUNK
constexpr std::size_t fixed = 18;
constexpr std::size_t first = 19;   // 4 bytes: block index (erase), chunk offset (write)
constexpr std::size_t second = 23;  // 4 bytes: chunk checksum (write)
constexpr std::size_t trailer = 62;
// The bytes that are always zero: [4, 6), [11, 13) and [27, 62).
constexpr std::size_t zero_after_signature = 4;
constexpr std::size_t zero_between_lengths = 11;
constexpr std::size_t zero_after_parameters = 27;

constexpr std::uint8_t fixed_value = 0x04;
constexpr std::uint8_t trailer_value = 0x01;
constexpr std::uint8_t flags_no_data_out = 0x80;  // geometry query and erase
constexpr std::uint8_t flags_data_out = 0x00;     // write: the chunk follows the command
constexpr std::uint8_t parameters_geometry = 0;
constexpr std::uint8_t parameters_erase = 4;
constexpr std::uint8_t parameters_write = 8;
}  // namespace command_field

// The status block that ends every exchange.
namespace status_field {
constexpr std::size_t size = 19;
constexpr std::size_t signature = 0;  // 4 bytes, "z48S"
constexpr char signature_text[] = "z48S";
constexpr std::size_t code = 15;  // 0 for success, else the sampler's error code
}  // namespace status_field

// The geometry reply, between the geometry command and its status block.
namespace reply_field {
constexpr std::size_t size = 8;
constexpr std::size_t blocks = 0;      // 4 bytes
constexpr std::size_t block_size = 4;  // 4 bytes
}  // namespace reply_field

// Both blocks begin with a signature of four ASCII bytes.
constexpr std::size_t block_signature_length = 4;

constexpr std::size_t command_block_size = command_field::size;
constexpr std::size_t status_block_size = status_field::size;
constexpr std::size_t geometry_reply_size = reply_field::size;

inline std::uint16_t get_le16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t get_le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline void put_le16(std::uint8_t* bytes, std::uint32_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void put_le32(std::uint8_t* bytes, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace vt
