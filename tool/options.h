// The flash tool's command line: options, usage text and the choice of run mode.
#pragma once

#include <cstdint>

namespace vt {

constexpr unsigned default_vendor_id = 0x09E8;
constexpr unsigned default_product_id = 0x0061;
constexpr unsigned default_chunk_size = 0x8000;
constexpr unsigned max_chunk_size = 0x100000;

enum run_mode { MODE_INFO, MODE_LIST, MODE_INSTALL, MODE_WATCH };

struct tool_options {
  bool list = false;
  bool watch = false;
  bool yes = false;
  const char* firmware_path = nullptr;  // the argument itself, not a copy; set by --firmware
  const char* sha256 = nullptr;         // --sha256: 64 hexadecimal digits the image must hash to
  unsigned vendor_id = default_vendor_id;
  unsigned product_id = default_product_id;
  unsigned chunk_size = default_chunk_size;
};

// Writes the usage text to standard error. The numbers shown are always the built-in defaults.
void usage(const char* program);

// Converts a number as strtoul does with base 0 and accepts it only if the whole text is a
// number no greater than `max` (and at least `min`).
bool parse_number(const char* text, unsigned long min, unsigned long max, unsigned& value);

// Parses argv into options and picks the run mode. Returns -1 when parsing went through; any other
// value is the exit status the tool ends with now (0 after the usage for --help or the version line
// for --version, 2 after a command-line error whose message and usage were already printed).
int parse_options(int argc, char** argv, tool_options& options, run_mode& mode);

}  // namespace vt
