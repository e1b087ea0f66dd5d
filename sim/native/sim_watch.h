// Devices arriving on the simulated bus and leaving it: the bus is looked at again at a fixed
// interval, and what changed since the last look is told.
#pragma once

#include <functional>
#include <vector>

#include "usb.h"

namespace vt::sim {

class sim_watch final : public usb_watch {
 public:
  // The watched devices on the bus now, each as an arrival.
  using scan = std::function<std::vector<usb_hotplug_event>()>;

  // Tells the listener of the devices there now. With `interval_ms` -1 the bus never changes and
  // is not looked at again.
  sim_watch(scan look, int interval_ms, usb_hotplug_listener listener);

  void wait_set(std::vector<pollfd>& fds, int& timeout_ms) override;
  usb_error dispatch() override;

 private:
  scan look_;
  int interval_ms_;
  usb_hotplug_listener listener_;
  std::vector<usb_hotplug_event> present_;
};

}  // namespace vt::sim
