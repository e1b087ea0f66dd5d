#include "diagnosis.h"

#include "device.h"
#include "text_output.h"

namespace vt {

std::string place_text(const usb_place& place) {
  std::string text = "bus " + std::to_string(place.bus) + ", ";
  if (place.ports.empty()) {
    return text + "device " + std::to_string(place.address);
  }
  text += "port ";
  for (std::size_t i = 0; i < place.ports.size(); ++i) {
    text += (i > 0 ? "." : "") + std::to_string(place.ports[i]);
  }
  return text;
}

std::vector<usb_device_record> other_products(usb_platform& platform, unsigned vendor_id,
                                              unsigned product_id) {
  std::vector<usb_device_record> records;
  if (platform.device_records(records) != usb_error::ok) {
    return {};
  }
  std::vector<usb_device_record> others;
  for (usb_device_record& record : records) {
    if (record.vendor_id == vendor_id && record.product_id != product_id) {
      others.push_back(std::move(record));
    }
  }
  return others;
}

std::string other_product_line(const usb_device_record& record) {
  const std::string name = record.product_name.empty()
                               ? ""
                               : " \"" + printable_device_string(record.product_name) + "\"";
  return format_text(
      "Found AKAI device %04x:%04x%s at %s: it is not an MPC4000 in \"OS Loader\" "
      "mode.\n",
      record.vendor_id, record.product_id, name.c_str(), place_text(record.place).c_str());
}

std::string holder_lines(const std::vector<usb_node_holder>& holders) {
  if (holders.empty()) {
    return "The sampler's interface is in use by another program or a driver.\n";
  }
  std::string lines;
  for (const usb_node_holder& holder : holders) {
    lines += "The sampler's interface is in use by " + printable_device_string(holder.name) +
             " (process " + std::to_string(holder.pid) + ").\n";
  }
  return lines;
}

}  // namespace vt
