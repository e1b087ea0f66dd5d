// The OS image check, on bytes in memory and through a real file: accepted exactly when the input
// has at least 56 bytes and the signature at offset 32, and then loaded unchanged.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_common.h"
#include "os_image.h"

namespace {
int memory_file = -1;
char memory_path[64];
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  veltrin_fuzz::silence_output();
  memory_file = ::memfd_create("os-image", 0);
  std::snprintf(memory_path, sizeof memory_path, "/proc/self/fd/%d", memory_file);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool expected = size >= 56 && std::memcmp(data + 32, "MPC4000 Operating System", 24) == 0;
  if ((vt::verify_mpc4000_firmware(data, size) == 0) != expected) {
    std::abort();
  }
  if (::ftruncate(memory_file, 0) != 0 ||
      ::pwrite(memory_file, data, size, 0) != static_cast<ssize_t>(size)) {
    return 0;
  }
  vt::os_image image;
  const int result = vt::load_os_image(memory_path, image, vt::demo_image::accept);
  if ((result == 0) != expected || image.loaded != expected) {
    std::abort();
  }
  if (expected && (image.length != size || std::memcmp(image.bytes.get(), data, size) != 0)) {
    std::abort();
  }
  return 0;
}
