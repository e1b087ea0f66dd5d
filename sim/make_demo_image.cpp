// Writes the demo's built-in OS image: pseudo-random bytes with the MPC4000 signature and the demo
// marker, so the demo can install something without the real (copyrighted) OS image, and the
// real flash tool refuses to install it on a sampler.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT BYTES\n", argv[0]);
    return 2;
  }
  const long length = std::strtol(argv[2], nullptr, 10);
  if (length < static_cast<long>(vt::image::head_length)) {
    std::fprintf(stderr, "a demo image has at least %zu bytes\n", vt::image::head_length);
    return 2;
  }
  std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
  unsigned state = 4000;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  vt::image::mark_demo(bytes.data(), bytes.size());
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
