// Writes the demo's built-in OS image (demo_image.h) to a file.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "demo_image.h"
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
  const std::vector<unsigned char> bytes =
      vt::sim::demo_image_bytes(static_cast<std::size_t>(length));
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
