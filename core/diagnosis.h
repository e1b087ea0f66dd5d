// Why the sampler cannot be used, told from what the system knows without opening any device:
// the AKAI devices of another product that are connected, and the programs that hold the
// sampler's node.
#pragma once

#include <string>
#include <vector>

#include "usb.h"

namespace vt {

// Where a device sits: "bus 1, port 1.4" (the hub ports from the root hub down), or
// "bus 1, device 5" (its address on the bus) when the system gives no port path.
std::string place_text(const usb_place& place);

// The devices of the vendor with another product id, from the system's device records; none is
// opened. Empty when the records cannot be read.
std::vector<usb_device_record> other_products(usb_platform& platform, unsigned vendor_id,
                                              unsigned product_id);

// "Found AKAI device 09e8:0062 "MPC1000" at bus 1, port 1.4: it is not an MPC4000 in "OS Loader"
// mode.\n", the name made printable, or without it when the device has none.
std::string other_product_line(const usb_device_record& record);

// "The sampler's interface is in use by NAME (process PID).\n" for each holder, or one line that
// says another program or a driver has it when no process is known.
std::string holder_lines(const std::vector<usb_node_holder>& holders);

}  // namespace vt
