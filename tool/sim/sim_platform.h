// The platform interface on a simulated bus: a few ordinary devices and the sampler, laid out as
// the scenario says.
#pragma once

#include <memory>

#include "../usb.h"
#include "sampler.h"

namespace vt::sim {

class sim_platform final : public usb_platform {
 public:
  explicit sim_platform(scenario setup);
  ~sim_platform() override;  // writes the flash to the scenario's dump file, if one is named
  sim_platform(const sim_platform&) = delete;
  sim_platform& operator=(const sim_platform&) = delete;

  usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) override;

  // Configuration changes the tool made, in order.
  const std::vector<int>& configurations_set() const { return *configurations_set_; }

 private:
  scenario setup_;
  std::shared_ptr<sampler> sampler_;
  std::shared_ptr<std::vector<int>> configurations_set_;
  std::shared_ptr<int> active_configuration_;
};

}  // namespace vt::sim
