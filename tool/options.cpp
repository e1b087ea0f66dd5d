#include "options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image_hash.h"
#include "output.h"

namespace vt {

namespace {

#ifdef __APPLE__
constexpr const char* list_help = "List USB devices visible to IOKit.";
#else
constexpr const char* list_help = "List USB devices.";
#endif

}  // namespace

void usage(const char* program) {
  out::error(
      "Usage:\n"
      "  %s --info\n"
      "  %s --firmware mpcv171.bin --yes\n"
      "\n"
      "Options:\n"
      "  --info              Read flash geometry only. Safe/read-only.\n"
      "  --list              %s\n"
      "  --watch             Report the sampler as it is connected and disconnected.\n"
      "  --firmware PATH     MPC4000 OS .bin file to upload.\n"
      "  --yes               Required for erase/write.\n"
      "  --sha256 HEX        Install only an image with this SHA-256.\n"
      "  --vid HEX           USB vendor ID, default 0x%04x.\n"
      "  --pid HEX           USB product ID, default 0x%04x.\n"
      "  --chunk BYTES       Write chunk size, default %u.\n"
      "  --version           Print the version and exit.\n",
      program, program, list_help, default_vendor_id, default_product_id, default_chunk_size);
}

bool parse_number(const char* text, unsigned long min, unsigned long max, unsigned& value) {
  char* end = nullptr;
  errno = 0;
  const unsigned long parsed = std::strtoul(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || parsed < min || parsed > max) {
    return false;
  }
  value = static_cast<unsigned>(parsed);
  return true;
}

namespace {

// Prints an option's message and the usage; the status a command-line error ends with.
int command_line_error(const char* program, const char* message) {
  out::error("%s", message);
  usage(program);
  return 2;
}

}  // namespace

int parse_options(int argc, char** argv, tool_options& options, run_mode& mode) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "vtflash";

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (std::strcmp(arg, "--info") == 0) {
      continue;
    }
    if (std::strcmp(arg, "--list") == 0) {
      options.list = true;
    } else if (std::strcmp(arg, "--watch") == 0) {
      options.watch = true;
    } else if (std::strcmp(arg, "--yes") == 0) {
      options.yes = true;
    } else if (std::strcmp(arg, "--firmware") == 0) {
      if (!has_value) {
        return command_line_error(program, "--firmware requires a path.\n");
      }
      options.firmware_path = argv[++i];
    } else if (std::strcmp(arg, "--vid") == 0) {
      if (!has_value || !parse_number(argv[++i], 0, 0xFFFF, options.vendor_id)) {
        return command_line_error(program, "--vid requires a 16-bit hex or decimal value.\n");
      }
    } else if (std::strcmp(arg, "--pid") == 0) {
      if (!has_value || !parse_number(argv[++i], 0, 0xFFFF, options.product_id)) {
        return command_line_error(program, "--pid requires a 16-bit hex or decimal value.\n");
      }
    } else if (std::strcmp(arg, "--chunk") == 0) {
      if (!has_value || !parse_number(argv[++i], 1, max_chunk_size, options.chunk_size)) {
        return command_line_error(program,
                                  "--chunk requires a positive byte count up to 1048576.\n");
      }
    } else if (std::strcmp(arg, "--sha256") == 0) {
      if (!has_value || !is_sha256_text(argv[++i])) {
        return command_line_error(program, "--sha256 requires 64 hexadecimal digits.\n");
      }
      options.sha256 = argv[i];
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      usage(program);
      return 0;
    } else if (std::strcmp(arg, "--version") == 0) {
      out::report("vtflash %s\n", VTFLASH_VERSION);
      return 0;
    } else {
      out::error("Unknown option: %s\n", arg);
      usage(program);
      return 2;
    }
  }

  // Checked before the list flag, so "--list" cannot slip a firmware path past the --yes guard.
  if (options.firmware_path != nullptr && !options.yes) {
    return command_line_error(program, "Refusing to erase/write flash without --yes.\n");
  }
  // The hash is checked against the image to install; without one it would check nothing.
  if (options.sha256 != nullptr && options.firmware_path == nullptr) {
    return command_line_error(program, "--sha256 requires --firmware.\n");
  }
  if (options.list) {
    mode = MODE_LIST;
  } else if (options.watch) {
    mode = MODE_WATCH;  // never opens the sampler, so an image given too is not installed
  } else if (options.firmware_path != nullptr) {
    mode = MODE_INSTALL;
  } else {
    mode = MODE_INFO;
  }
  return -1;
}

}  // namespace vt
