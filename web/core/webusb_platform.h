// The USB platform interface over the browser's WebUSB (navigator.usb), for the page.
//
// The devices are those the user has allowed this page to use (the browser's chooser, opened by
// the page, adds one). Every call goes to the page's USB bridge (js/usb_bridge.js), whose
// promises the core awaits: the module is built with Asyncify, so the protocol code above this
// interface stays the same synchronous code as in the flash tool.
#pragma once

#include <memory>

#include "usb.h"

namespace vt::web {

std::unique_ptr<usb_platform> make_webusb_platform();

}  // namespace vt::web
