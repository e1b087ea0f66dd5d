#include "usb.h"

namespace vt {

namespace {

class steady_clock_source final : public update_clock {
 public:
  std::chrono::nanoseconds now() const override {
    return std::chrono::steady_clock::now().time_since_epoch();
  }
};

}  // namespace

const update_clock& steady_update_clock() {
  static const steady_clock_source clock;
  return clock;
}

}  // namespace vt

namespace vt {

// The IOReturn codes of the same meaning, so a log reads the same on every platform.
std::uint32_t ioreturn_code(usb_error error) {
  switch (error) {
    case usb_error::ok:
      return 0x00000000;  // kIOReturnSuccess
    case usb_error::timeout:
      return 0xe00002d6;  // kIOReturnTimeout
    case usb_error::no_device:
      return 0xe00002c0;  // kIOReturnNoDevice
    case usb_error::access:
      return 0xe00002c1;  // kIOReturnNotPrivileged
    case usb_error::busy:
      return 0xe00002c5;  // kIOReturnExclusiveAccess
    case usb_error::stall:
      return 0xe000404f;  // kIOUSBPipeStalled
    case usb_error::overflow:
      return 0xe00002e8;  // kIOReturnOverrun
    case usb_error::no_memory:
      return 0xe00002bd;  // kIOReturnNoMemory
    case usb_error::other:
      break;
  }
  return 0xe00002bc;  // kIOReturnError
}

}  // namespace vt
