// vtflash --watch: the sampler seen as it comes and goes.
#pragma once

#include "usb.h"

namespace vt {

// Prints one line on standard output each time a device of the vendor is connected (also for
// one that is connected at the start) and each time it is disconnected:
//   "AKAI device 09e8:0061 connected at bus 1, port 1.4."
//   "AKAI device 09e8:0061 disconnected from bus 1, port 1.4."
// ("device N", its address, in place of "port P" when the system gives no port path). A device
// of the vendor with another product arrives as
//   "Found AKAI device 09e8:0062 "MPC1000" at bus 1, port 1.4: it is not an MPC4000 in "OS
//   Loader" mode."
// and leaves with the line above, with its own ids. No device is opened. Runs until standard input
// ends or SIGINT or SIGTERM comes, then returns 0; 1 after a line saying why when the system cannot
// tell arrivals or the bus cannot be searched.
int run_watch(usb_platform& platform, unsigned vendor_id, unsigned product_id);

}  // namespace vt
