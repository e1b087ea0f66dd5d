#include "demo_image.h"

#include "image_file.h"

namespace vt::sim {

std::vector<unsigned char> demo_image_bytes(std::size_t length) {
  std::vector<unsigned char> bytes(length);
  unsigned state = 4000;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  image::mark_demo(bytes.data(), bytes.size());
  return bytes;
}

}  // namespace vt::sim
