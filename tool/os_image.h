// Loading an OS image file into memory and checking it against the image rule (image_file.h),
// with the tool's messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vt {

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

// Whether the program may install Veltrin's demo image: only the simulated sampler may, so the
// demo can never reach a real sampler.
enum class demo_image { refuse, accept };

// What the program this was linked into does with the demo image: the libusb platform refuses it,
// the simulated one accepts it.
demo_image platform_demo_image();

// Reads the whole file and checks it. On failure one message (two for a wrong signature) is on
// standard error, -1 is returned and nothing stays allocated or open.
int load_os_image(const char* path, os_image& image, demo_image demo);

}  // namespace vt
