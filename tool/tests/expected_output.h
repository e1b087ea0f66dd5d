// What the flash tool prints, byte for byte, as the tool, usbfs and application tests expect it:
// one model of its output for all of them. Standard output and standard error are one stream here,
// in the order the application reads them through its one pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>

namespace vt::expected {

inline std::string printed(const char* format, unsigned long long a, unsigned long long b = 0,
                           unsigned long long c = 0, unsigned long long d = 0,
                           unsigned long long e = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c, d, e);
  return text;
}

inline std::string opened_line(unsigned interface = 0, unsigned in_pipe = 1,
                               unsigned out_pipe = 2) {
  return printed(
      "Opened AKAI USB device %04llx:%04llx, interface %llu, IN pipe %llu, OUT pipe %llu.\n",
      0x09e8, 0x0061, interface, in_pipe, out_pipe);
}

inline std::string geometry_line(std::uint32_t blocks, std::uint32_t block_size) {
  return printed("Flash geometry: %llu blocks x %llu bytes (%llu bytes).\n", blocks, block_size,
                 1ull * blocks * block_size);
}

inline std::string firmware_line(std::size_t image, std::uint32_t blocks,
                                 std::uint32_t block_size) {
  return printed("Firmware: %llu bytes. Flash: %llu blocks x %llu bytes (%llu bytes).\n", image,
                 blocks, block_size, 1ull * blocks * block_size);
}

inline const std::string erasing_line = "Erasing flash...\n";
inline const std::string writing_line = "Writing firmware...\n";
inline const std::string completion_line =
    "OS upload complete. Restart the MPC4000 after the device reports completion.\n";

// The summary of a completed installation, as the simulated sampler without delays times it.
inline std::string summary_line(std::uint32_t blocks, std::size_t bytes) {
  return printed("Erased %llu blocks in 0.0 s, wrote %llu bytes in 0.0 s.\n", blocks, bytes);
}

// The output of a tool that timed its installation with a real clock, its durations and speed
// made those of the simulated sampler without delays.
inline std::string timed_as_simulated(const std::string& output) {
  static const std::regex durations(
      "(Erased [0-9]+ blocks in )[0-9]+\\.[0-9] s(, wrote [0-9]+ bytes in )[0-9]+\\.[0-9] s"
      "( \\([0-9]+\\.[0-9] KiB/s\\))?\\.\n");
  return std::regex_replace(output, durations, "$010.0 s$020.0 s.\n");
}

// Progress records 1 to `upto` of `total` ("\rErase  25% (1/4)"), each redrawing the one before.
inline std::string records(const char* word, std::uint32_t total, std::uint32_t upto) {
  std::string text;
  for (std::uint32_t i = 1; i <= upto; ++i) {
    char record[64];
    std::snprintf(record, sizeof record, "\r%s %3u%% (%u/%u)", word,
                  static_cast<unsigned>(1ull * i * 100 / total), i, total);
    text += record;
  }
  return text;
}

// The same records, ended by a line end when there is one.
inline std::string ended_records(const char* word, std::uint32_t total, std::uint32_t upto) {
  return upto == 0 ? "" : records(word, total, upto) + "\n";
}

// An installation of an image of `image` bytes in chunks of `chunk` bytes into a flash of
// `blocks` blocks of `block_size` bytes.
struct install {
  std::uint32_t blocks;
  std::uint32_t block_size;
  std::size_t image;
  std::uint32_t chunk = 32768;

  std::uint32_t chunks() const { return static_cast<std::uint32_t>((image + chunk - 1) / chunk); }

  // Everything up to the last erase record, its line end and the write phase's first line.
  std::string before_write() const {
    return opened_line() + geometry_line(blocks, block_size) +
           firmware_line(image, blocks, block_size) + erasing_line +
           records("Erase", blocks, blocks) + "\n" + writing_line;
  }

  // Everything a successful installation prints.
  std::string complete() const {
    return before_write() + records("Write", chunks(), chunks()) + "\n" +
           summary_line(blocks, image) + completion_line;
  }

  // Everything an installation prints when erasing block `block` fails with the step's own line
  // `failure`: the records of the blocks confirmed before it and their line end, the failure, and
  // where it stopped.
  std::string erase_failed(std::uint32_t block, const std::string& failure) const {
    return opened_line() + geometry_line(blocks, block_size) +
           firmware_line(image, blocks, block_size) + erasing_line +
           ended_records("Erase", blocks, block) + failure +
           printed("Erase failed at block %llu.\n", block);
  }

  // The same for writing chunk `index`.
  std::string write_failed(std::uint32_t index, const std::string& failure) const {
    return before_write() + ended_records("Write", chunks(), index) + failure +
           printed("Write failed at offset 0x%08llx.\n", 1ull * index * chunk);
  }
};

}  // namespace vt::expected
