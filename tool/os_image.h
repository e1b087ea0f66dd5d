// Loading an OS image file and checking that it is an MPC4000 OS image.
//
// An OS image is written to the flash unchanged and whole. Only one field of it is examined: the
// 24 ASCII characters "MPC4000 Operating System" at offset 32, so a file must hold at least 56
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vt {

constexpr std::size_t signature_offset = 32;
constexpr std::size_t signature_length = 24;
constexpr std::size_t min_image_length = signature_offset + signature_length;
extern const char os_image_signature[signature_length + 1];

// Chunk offsets travel to the sampler as 32-bit numbers, so no image can be larger than this.
constexpr std::uint64_t max_image_length = 0xFFFFFFFFull;

struct os_image {
  std::unique_ptr<std::uint8_t[]> bytes;  // exactly `length` bytes, read once and never copied
  std::size_t length = 0;
  bool loaded = false;
};

// Checks bytes already in memory; writes its messages to standard error and returns -1 when they
// are not an MPC4000 OS image, else 0.
int verify_mpc4000_firmware(const std::uint8_t* bytes, std::size_t length);

// Reads the whole file and checks it. On failure one message (two for a wrong signature) is on
// standard error, -1 is returned and nothing stays allocated or open.
int load_os_image(const char* path, os_image& image);

}  // namespace vt
