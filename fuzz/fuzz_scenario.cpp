// The simulated sampler's scenario text, then a run of the loader against whatever it describes:
// no crash, no hang, whatever the text says.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "sim/sampler.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  veltrin_fuzz::silence_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  vt::sim::scenario setup;
  std::string error;
  if (!vt::sim::parse_scenario(text, setup, error)) {
    return 0;
  }
  // Keep the flash small and the delays off so one input stays fast.
  setup.sampler.blocks = setup.sampler.blocks % 64;
  setup.sampler.block_size = setup.sampler.block_size % 4096;
  setup.sampler.erase_ms = 0;
  setup.sampler.byte_ns = 0;
  vt::sim::sampler model(setup.sampler);
  std::uint8_t buffer[64] = {};
  std::size_t moved = 0;
  model.receive(buffer, sizeof buffer, moved);
  model.send(buffer, sizeof buffer, moved);
  return 0;
}
