// The platform interface on libusb-1.0: the real USB bus.
#pragma once

#include "usb.h"

namespace vt {

// The libusb context is created on the first enumeration; a machine without usbfs makes that
// enumeration fail (reported like any failed device search), never the program.
std::unique_ptr<usb_platform> make_libusb_platform();

}  // namespace vt
