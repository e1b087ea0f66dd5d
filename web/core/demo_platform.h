// The page's demo: the simulated sampler of vtflash-sim behind the USB platform interface, with a
// plug the page pulls and puts back, and the loader's working time spent waiting for the browser
// instead of blocking it, so the page stays live while the simulated flash is erased and written.
#pragma once

#include <memory>
#include <string>

#include "usb.h"

namespace vt::web {

// The demo's sampler: a realistic flash and speed (a 2 MiB image installs in about 20 seconds).
inline constexpr char demo_scenario[] = "blocks=64,block_size=65536,erase_ms=100,byte_ns=6000";

// A platform for the scenario (vtflash-sim's syntax; empty means demo_scenario); null after a
// message when the scenario is not understood. With `paced` false the loader's time is not
// spent at all (for measuring the core alone).
std::unique_ptr<usb_platform> make_demo_platform(const std::string& scenario, bool paced);

// Puts the demo's sampler on the bus or takes it off. Taken off, every transfer of the connection
// in use fails as a device that left; put back, it is a new device to open.
void plug_demo_sampler(bool plugged);

}  // namespace vt::web
