#include "image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vt::image {

verdict check(const std::uint8_t* bytes, std::size_t length) {
  if (length < min_length) {
    return verdict::too_small;
  }
  if (std::memcmp(bytes + signature_offset, signature, signature_length) != 0) {
    return verdict::bad_signature;
  }
  return verdict::ok;
}

bool is_demo(const std::uint8_t* bytes, std::size_t length) {
  return check(bytes, length) == verdict::ok && length >= head_length &&
         std::memcmp(bytes + demo_marker_offset, demo_marker, demo_marker_length) == 0;
}

void mark_demo(std::uint8_t* bytes, std::size_t length) {
  if (length < head_length) {
    return;
  }
  std::memcpy(bytes + signature_offset, signature, signature_length);
  std::memcpy(bytes + demo_marker_offset, demo_marker, demo_marker_length);
}

file_descriptor::~file_descriptor() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

file_descriptor& file_descriptor::operator=(file_descriptor&& other) noexcept {
  if (this != &other) {
    file_descriptor old(release());
    fd_ = other.release();
  }
  return *this;
}

int file_descriptor::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

file_descriptor open_regular_file(const char* path, std::string& reason) {
  file_descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file) {
    reason = std::strerror(errno);
    return {};
  }
  struct stat info = {};
  if (::fstat(file.get(), &info) != 0) {
    reason = std::strerror(errno);
    return {};
  }
  if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
    return {};
  }
  if (!S_ISREG(info.st_mode)) {
    reason = "Not a regular file";
    return {};
  }
  // Back to blocking reads for the file itself.
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) < 0) {
    reason = std::strerror(errno);
    return {};
  }
  return file;
}

long read_head(const char* path, std::uint8_t* buffer, std::size_t length) {
  std::string reason;
  const file_descriptor file = open_regular_file(path, reason);
  if (!file) {
    return -1;
  }
  std::size_t filled = 0;
  while (filled < length) {
    const ssize_t n = ::read(file.get(), buffer + filled, length - filled);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return -1;
    }
    if (n == 0) {
      break;
    }
    filled += static_cast<std::size_t>(n);
  }
  return static_cast<long>(filled);
}

bool file_is_demo(const char* path) {
  std::uint8_t head[head_length];
  const long got = read_head(path, head, sizeof head);
  return got > 0 && is_demo(head, static_cast<std::size_t>(got));
}

}  // namespace vt::image
