// The demo's own pieces for the page: its OS image, made here from the generator the desktop
// demo uses rather than shipped, and a lone simulated sampler a page can talk to byte by byte (a
// stand-in for navigator.usb forwards its transfers here).
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "output.h"
#include "sim/demo_image.h"
#include "sim/sampler.h"

namespace {

std::unique_ptr<vt::sim::sampler> lone_sampler;

}  // namespace

extern "C" {

// The demo image of `length` bytes in memory the caller frees; null when it cannot be made.
EMSCRIPTEN_KEEPALIVE unsigned char* vt_make_demo_image(std::size_t length) {
  const std::vector<unsigned char> bytes = vt::sim::demo_image_bytes(length);
  auto* copy = static_cast<unsigned char*>(std::malloc(length > 0 ? length : 1));
  if (copy != nullptr) {
    std::memcpy(copy, bytes.data(), length);
  }
  return copy;
}

// A new lone sampler for the scenario (vtflash-sim's syntax); -1 after a message.
EMSCRIPTEN_KEEPALIVE int vt_lone_sampler(const char* scenario) {
  vt::sim::scenario setup;
  std::string error;
  if (!vt::sim::parse_scenario(scenario, setup, error)) {
    vt::out::error("Lone sampler: %s.\n", error.c_str());
    return -1;
  }
  lone_sampler = std::make_unique<vt::sim::sampler>(setup.sampler);
  return 0;
}

// One transfer out to the lone sampler: the usb_error position, the bytes taken in `*moved`.
EMSCRIPTEN_KEEPALIVE int vt_lone_receive(const std::uint8_t* data, std::size_t length,
                                         std::size_t* moved) {
  *moved = 0;
  if (!lone_sampler) {
    return static_cast<int>(vt::usb_error::no_device);
  }
  return static_cast<int>(lone_sampler->receive(data, length, *moved));
}

// One transfer in from the lone sampler, of at most `length` bytes.
EMSCRIPTEN_KEEPALIVE int vt_lone_send(std::uint8_t* data, std::size_t length, std::size_t* moved) {
  *moved = 0;
  if (!lone_sampler) {
    return static_cast<int>(vt::usb_error::no_device);
  }
  return static_cast<int>(lone_sampler->send(data, length, *moved));
}

}  // extern "C"
