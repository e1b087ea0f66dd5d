// The sampler's loader protocol: building the command blocks, the chunk checksum, the geometry
// query and the whole installation. The layout of the blocks is in protocol.h. Nothing here
// prints: each step is told to an event_listener (events.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cancel.h"
#include "clock.h"
#include "events.h"
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

// One geometry exchange; tells the geometry. 0, or -1 after telling what failed.
int query_geometry(usb_handle& handle, flash_geometry& geometry, event_listener& listener);

// Reads and checks one status block. 0, or -1 after telling what failed.
int receive_status(usb_handle& handle, event_listener& listener);

// Bounds and size checks, erase of every block, chunked write. 0, or -1 after telling what
// failed or was refused. Once the checks pass, the listener hears phase_begins(erase) and, at the
// end, update_ends with where the installation ended, or with what it did and how long each
// phase took by `clock`. A cancellation asked for is honoured before the next step, never inside
// one.
int run_update(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
               const flash_geometry& geometry, std::uint32_t chunk_size, event_listener& listener,
               const cancel_token& cancel, const update_clock& clock = steady_update_clock());

}  // namespace vt
