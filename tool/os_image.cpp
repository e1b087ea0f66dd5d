#include "os_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "image_file.h"
#include "output.h"

namespace vt {

int verify_mpc4000_firmware(const std::uint8_t* bytes, std::size_t length) {
  switch (image::check(bytes, length)) {
    case image::verdict::ok:
      return 0;
    case image::verdict::too_small:
      out::error("Firmware file is too small.\n");
      return -1;
    case image::verdict::bad_signature:
      out::error("Firmware signature mismatch at offset %zu.\n", image::signature_offset);
      out::error("Expected: %s\n", image::signature);
      return -1;
  }
  return -1;
}

namespace {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

file_ptr open_image_file(const char* path) {
  std::string reason;
  image::file_descriptor fd = image::open_regular_file(path, reason);
  if (!fd) {
    out::error("Could not open %s: %s\n", path, reason.c_str());
    return nullptr;
  }
  file_ptr file(::fdopen(fd.get(), "rb"));
  if (!file) {
    out::error("Could not open %s: %s\n", path, std::strerror(errno));
    return nullptr;
  }
  fd.release();  // the stream owns it now
  return file;
}

}  // namespace

int load_os_image(const char* path, os_image& image, demo_image demo) {
  file_ptr file = open_image_file(path);
  if (!file) {
    return -1;
  }
  if (std::fseek(file.get(), 0, SEEK_END) != 0) {
    out::error("Could not seek %s.\n", path);
    return -1;
  }
  const long position = std::ftell(file.get());
  if (position < 0) {
    out::error("Could not determine length of %s.\n", path);
    return -1;
  }
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
    out::error("Could not rewind %s.\n", path);
    return -1;
  }
  const auto length = static_cast<std::size_t>(position);
  // The loader cannot address more, and reading such a file (say a sparse one of many
  // gigabytes) would only exhaust memory before the flash size refuses it.
  if (static_cast<std::uint64_t>(length) > max_image_length) {
    out::error("Firmware file is too large.\n");
    return -1;
  }
  std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[length > 0 ? length : 1]);
  if (!bytes) {
    out::error("Out of memory reading %s.\n", path);
    return -1;
  }
  const std::size_t got = std::fread(bytes.get(), 1, length, file.get());
  // A file that grew after its length was taken would be written in part: refuse it too.
  const bool grew = got == length && std::fgetc(file.get()) != EOF;
  file.reset();
  if (got < length || grew) {
    out::error("Short read from %s.\n", path);
    return -1;
  }
  if (verify_mpc4000_firmware(bytes.get(), length) != 0) {
    return -1;
  }
  if (demo == demo_image::refuse && image::is_demo(bytes.get(), length)) {
    out::error("Firmware file is Veltrin's demo image, not an MPC4000 OS.\n");
    return -1;
  }
  image.bytes = std::move(bytes);
  image.length = length;
  image.loaded = true;
  return 0;
}

}  // namespace vt
