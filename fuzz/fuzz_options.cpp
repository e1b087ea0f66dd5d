// The command line: any argument vector (NUL-separated in the input) is parsed without a crash and
// ends in a mode or an exit status of 0 or 2.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "options.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  veltrin_fuzz::silence_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> strings{"vtflash"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      strings.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  strings.push_back(current);
  std::vector<char*> argv;
  for (std::string& s : strings) {
    argv.push_back(s.data());
  }
  argv.push_back(nullptr);
  vt::tool_options options;
  vt::run_mode mode = vt::MODE_INFO;
  const int status =
      vt::parse_options(static_cast<int>(strings.size()), argv.data(), options, mode);
  if (status != -1 && status != 0 && status != 2) {
    std::abort();
  }
  if (status == -1 && (options.vendor_id > 0xFFFF || options.product_id > 0xFFFF ||
                       options.chunk_size < 1 || options.chunk_size > vt::max_chunk_size ||
                       (options.firmware_path != nullptr && !options.yes))) {
    std::abort();
  }
  return 0;
}
