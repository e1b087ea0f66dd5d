#include "os_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "output.h"

namespace vt {

const char os_image_signature[signature_length + 1] = "MPC4000 Operating System";

int verify_mpc4000_firmware(const std::uint8_t* bytes, std::size_t length) {
  if (length < min_image_length) {
    out::error("Firmware file is too small.\n");
    return -1;
  }
  if (std::memcmp(bytes + signature_offset, os_image_signature, signature_length) != 0) {
    out::error("Firmware signature mismatch at offset %zu.\n", signature_offset);
    out::error("Expected: %s\n", os_image_signature);
    return -1;
  }
  return 0;
}

namespace {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Opens a regular file for reading. A FIFO, a device or a directory is refused before anything is
// read from it: a FIFO would block the open itself, and a device such as /dev/zero has no end.
file_ptr open_regular_file(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    out::error("Could not open %s: %s\n", path, std::strerror(errno));
    return nullptr;
  }
  struct stat info {};
  const char* refusal = nullptr;
  if (::fstat(fd, &info) != 0) {
    refusal = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = std::strerror(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "Not a regular file";
  }
  if (refusal == nullptr) {
    // Back to blocking reads for the file itself.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
      refusal = std::strerror(errno);
    }
  }
  if (refusal != nullptr) {
    out::error("Could not open %s: %s\n", path, refusal);
    ::close(fd);
    return nullptr;
  }
  file_ptr file(::fdopen(fd, "rb"));
  if (!file) {
    out::error("Could not open %s: %s\n", path, std::strerror(errno));
    ::close(fd);
  }
  return file;
}

}  // namespace

int load_os_image(const char* path, os_image& image) {
  file_ptr file = open_regular_file(path);
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
  image.bytes = std::move(bytes);
  image.length = length;
  image.loaded = true;
  return 0;
}

}  // namespace vt
