// Shared by the fuzz targets: the code under test prints its messages; the fuzzer needs quiet.
#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace veltrin_fuzz {

inline void silence_output() {
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 1);
  ::dup2(null, 2);
  ::close(null);
}

}  // namespace veltrin_fuzz
