// The platform interface on a simulated bus: a few ordinary devices and the sampler, laid out as
// the scenario says.
#pragma once

#include <memory>

#include "sim/sampler.h"
#include "usb.h"

namespace vt::sim {

class sim_platform final : public usb_platform {
 public:
  explicit sim_platform(scenario setup);
  ~sim_platform() override;
  sim_platform(const sim_platform&) = delete;
  sim_platform& operator=(const sim_platform&) = delete;

  usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) override;
  usb_error device_records(std::vector<usb_device_record>& list) override;
  bool has_hotplug() const override;
  usb_error watch(std::uint16_t vendor_id, usb_hotplug_listener listener,
                  std::unique_ptr<usb_watch>& watch) override;
  std::vector<usb_node_holder> node_holders(const usb_place& place) override;

  // The simulated loader's own time: an installation's summary is the same on every run.
  const update_clock& clock() const override { return clock_; }

  // Configuration changes the tool made, in order.
  const std::vector<int>& configurations_set() const { return *configurations_set_; }

 private:
  void open_dump();

  scenario setup_;
  std::shared_ptr<sampler> sampler_;
  std::shared_ptr<std::vector<int>> configurations_set_;
  std::shared_ptr<int> active_configuration_;
  int dump_fd_ = -1;  // the scenario's dump file, kept equal to the flash
  class sampler_clock final : public update_clock {
   public:
    explicit sampler_clock(std::shared_ptr<const sampler> model) : model_(std::move(model)) {}
    std::chrono::nanoseconds now() const override { return model_->busy_time(); }

   private:
    std::shared_ptr<const sampler> model_;
  };
  sampler_clock clock_;
};

}  // namespace vt::sim
