// The sampler's loader protocol: command and status blocks, the chunk checksum, the geometry
// query and the whole installation.
//
// One exchange is: a 63-byte command block on the OUT pipe; for the geometry query an 8-byte reply
// on the IN pipe, for a write the chunk's bytes on the OUT pipe; then a 19-byte status block on
// the IN pipe. Every transfer waits at most two minutes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "usb.h"

namespace vt {

constexpr std::size_t command_block_size = 63;
constexpr std::size_t status_block_size = 19;
constexpr std::size_t geometry_reply_size = 8;
constexpr unsigned transfer_timeout_ms = 120000;

constexpr std::uint8_t CMD_GET_GEOMETRY = 1;
constexpr std::uint8_t CMD_ERASE_BLOCK = 2;
constexpr std::uint8_t CMD_WRITE_CHUNK = 3;

constexpr std::uint32_t max_flash_blocks = 4096;

using command_block = std::array<std::uint8_t, command_block_size>;

command_block make_geometry_command();
command_block make_erase_command(std::uint32_t block);
command_block make_write_command(std::uint32_t offset, std::uint32_t length, std::uint32_t crc);

// CRC-32 (reflected polynomial 0xEDB88320) with the register starting at 0 and the result
// XORed with 0xFFFFFFFF: "abc" gives 0x359A672F.
std::uint32_t chunk_crc(const std::uint8_t* data, std::size_t length);

struct flash_geometry {
  std::uint32_t blocks = 0;
  std::uint32_t block_size = 0;
  std::uint64_t size() const { return static_cast<std::uint64_t>(blocks) * block_size; }
};

// One geometry exchange; prints the geometry line. 0, or -1 after a message.
int query_geometry(usb_handle& handle, flash_geometry& geometry);

// Reads and checks one status block. 0, or -1 after a message.
int receive_status(usb_handle& handle);

// Bounds and size checks, erase of every block, chunked write, completion line. 0, or -1 after a
// message.
int run_update(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
               std::uint32_t blocks, std::uint32_t block_size, std::uint32_t chunk_size);

}  // namespace vt
