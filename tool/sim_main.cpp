// The platform of vtflash-sim and of the demo's flash tool: the simulated sampler, set up by the
// VTFLASH_SIM environment variable, or by the scenario built into the program when it is unset.
#include <cstdio>
#include <cstdlib>

#include "install_recorder.h"
#include "os_image.h"
#include "sim/native/sim_platform.h"

#ifndef VTFLASH_SIM_DEFAULT
#define VTFLASH_SIM_DEFAULT ""
#endif

namespace vt {

std::unique_ptr<usb_platform> make_platform() {
  const char* text = std::getenv("VTFLASH_SIM");
  if (text == nullptr) {
    text = VTFLASH_SIM_DEFAULT;
  }
  sim::scenario setup;
  std::string error;
  if (!sim::parse_scenario(text, setup, error)) {
    std::fprintf(stderr, "VTFLASH_SIM: %s.\n", error.c_str());
    return nullptr;
  }
  return std::make_unique<sim::sim_platform>(std::move(setup));
}

demo_image platform_demo_image() {
  return demo_image::accept;
}

std::string platform_record_path() {
#ifdef VTFLASH_DEMO
  // The demo's installations never stand for the state of the user's own sampler.
  return record::default_path(record::demo_file_name);
#else
  return record::default_path();
#endif
}

}  // namespace vt
