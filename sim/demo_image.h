// Veltrin's demo OS image: pseudo-random bytes with the MPC4000 signature and the demo marker, so
// the demo can install something without the real (copyrighted) OS image, and the real flash tool
// refuses to install it on a sampler. The same bytes for the same length, wherever it is made.
#pragma once

#include <cstddef>
#include <vector>

namespace vt::sim {

// At least image::head_length bytes.
std::vector<unsigned char> demo_image_bytes(std::size_t length);

}  // namespace vt::sim
