// The sampler's loader protocol: building the command blocks, the chunk checksum, the geometry
// query and the whole installation. The layout of the blocks is in protocol.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "install_record.h"
#include "protocol.h"
#include "usb.h"

namespace vt {

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

// Told where an installation stands, so it can be recorded (install_record.h).
class update_listener {
 public:
  virtual ~update_listener() = default;
  // The checks passed and the first erase comes next: from here on the sampler has no working OS
  // until the installation completes.
  virtual void erase_begins() = 0;
  // The installation that began has ended: completed, or failed or stopped where `how` says.
  virtual void update_ends(const record::ending& how) = 0;
};

// Bounds and size checks, erase of every block, chunked write, completion line. 0, or -1 after a
// message. `listener`, when given, hears of the first erase and of the end after it.
int run_update(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
               std::uint32_t blocks, std::uint32_t block_size, std::uint32_t chunk_size,
               update_listener* listener = nullptr);

}  // namespace vt
