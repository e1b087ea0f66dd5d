// What makes a file an MPC4000 OS image, and how to open one safely: the one rule the flash tool,
// the demo-image maker and the application all check against. It never touches USB.
//
// An OS image is written to the flash unchanged and whole. Only one field of it is examined: the
// 24 ASCII characters "MPC4000 Operating System" at offset 32, so a file must hold at least 56
// bytes. Veltrin's demo image carries a marker right after the signature, so the real flash tool
// can refuse it while the simulated sampler and the application accept it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vt::image {

constexpr std::size_t signature_offset = 32;
constexpr std::size_t signature_length = 24;
constexpr std::size_t min_length = signature_offset + signature_length;  // 56
// With a terminating zero for printing; the comparison covers the 24 characters only.
inline constexpr char signature[signature_length + 1] = "MPC4000 Operating System";

// Text a real OS image never carries after its signature; it also tells a reader of the file what
// it is.
inline constexpr char demo_marker[] = "Veltrin demo image, not an OS.";
constexpr std::size_t demo_marker_offset = min_length;
constexpr std::size_t demo_marker_length = sizeof demo_marker - 1;
// Enough of the head of a file to check both the signature and the demo marker.
constexpr std::size_t head_length = demo_marker_offset + demo_marker_length;

enum class verdict { ok, too_small, bad_signature };

// The length and signature test on bytes already in memory.
verdict check(const std::uint8_t* bytes, std::size_t length);

// Whether the bytes carry the demo marker (and so are Veltrin's demo image).
bool is_demo(const std::uint8_t* bytes, std::size_t length);

// Writes the signature and the demo marker into `bytes` (at least `head_length` of them).
void mark_demo(std::uint8_t* bytes, std::size_t length);

// One open file descriptor, closed when the object goes.
class file_descriptor {
 public:
  file_descriptor() = default;
  explicit file_descriptor(int fd) : fd_(fd) {}
  ~file_descriptor();
  file_descriptor(file_descriptor&& other) noexcept : fd_(other.release()) {}
  file_descriptor& operator=(file_descriptor&& other) noexcept;
  file_descriptor(const file_descriptor&) = delete;
  file_descriptor& operator=(const file_descriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release();

 private:
  int fd_ = -1;
};

// Opens a regular file for blocking reads. The open itself does not wait for the writer of a
// FIFO, and the type is taken from the opened descriptor, so a FIFO, a device such as /dev/zero
// (which has no end) or a directory is refused before anything is read from it. On failure the
// result is empty and `reason` says why in the system's words ("Not a regular file" for a FIFO
// or a device).
file_descriptor open_regular_file(const char* path, std::string& reason);

// Up to `length` bytes from the start of the regular file at `path`; -1 when it cannot be opened
// as one or a read fails, else the number of bytes read (fewer at the end of the file).
long read_head(const char* path, std::uint8_t* buffer, std::size_t length);

// Whether the regular file at `path` carries the demo marker.
bool file_is_demo(const char* path);

}  // namespace vt::image
