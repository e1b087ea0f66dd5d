#include "sim/native/sim_watch.h"

#include <algorithm>

namespace vt::sim {

namespace {

// Whether `list` holds the device at the place of `event`.
bool holds(const std::vector<usb_hotplug_event>& list, const usb_hotplug_event& event) {
  return std::any_of(list.begin(), list.end(), [&event](const usb_hotplug_event& other) {
    return other.place.bus == event.place.bus && other.place.address == event.place.address;
  });
}

}  // namespace

sim_watch::sim_watch(scan look, int interval_ms, usb_hotplug_listener listener)
    : look_(std::move(look)), interval_ms_(interval_ms), listener_(std::move(listener)) {
  present_ = look_();
  for (const usb_hotplug_event& event : present_) {
    listener_(event);
  }
}

void sim_watch::wait_set(std::vector<pollfd>&, int& timeout_ms) {
  if (interval_ms_ >= 0 && (timeout_ms < 0 || interval_ms_ < timeout_ms)) {
    timeout_ms = interval_ms_;
  }
}

usb_error sim_watch::dispatch() {
  if (interval_ms_ < 0) {
    return usb_error::ok;
  }
  std::vector<usb_hotplug_event> now = look_();
  for (usb_hotplug_event event : present_) {
    if (!holds(now, event)) {
      event.arrived = false;
      listener_(event);
    }
  }
  for (const usb_hotplug_event& event : now) {
    if (!holds(present_, event)) {
      listener_(event);
    }
  }
  present_ = std::move(now);
  return usb_error::ok;
}

}  // namespace vt::sim
