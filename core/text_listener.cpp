#include "text_listener.h"

#include "device.h"
#include "diagnosis.h"

namespace vt {

namespace {

// A normal user may open the sampler only where a udev rule grants access to it.
#ifdef __linux__
constexpr const char* permission_hint =
    "No permission to open the sampler: install the udev rule 70-veltrin.rules (see README) or "
    "run as root.\n"
    "To install the rule: sudo cp 70-veltrin.rules /etc/udev/rules.d/ && sudo udevadm control "
    "--reload-rules, then connect the sampler again.\n";
#else
constexpr const char* permission_hint = "No permission to open the sampler.\n";
#endif

constexpr const char* run_again = "Run the installation again before restarting the MPC4000.";

double seconds(std::chrono::nanoseconds time) {
  return std::chrono::duration<double>(time).count();
}

}  // namespace

std::string summary_line(const update_ending& how) {
  const std::string done =
      format_text("Erased %u blocks in %.1f s, wrote %llu bytes in %.1f s", how.blocks_erased,
                  seconds(how.erase_time), static_cast<unsigned long long>(how.bytes_written),
                  seconds(how.write_time));
  // A write that took no time at all (a simulated sampler without delays) has no speed.
  if (how.write_time.count() <= 0) {
    return done + ".\n";
  }
  const double speed = static_cast<double>(how.bytes_written) / 1024 / seconds(how.write_time);
  return done + format_text(" (%.1f KiB/s).\n", speed);
}

std::string call_failure_line(const char* call, std::uint32_t code) {
  return format_text("%s failed: IOReturn 0x%08x.\n", call, code);
}

void text_listener::search_failed(usb_error error) {
  out_.error(call_failure_line("IOServiceGetMatchingServices", ioreturn_code(error)));
}

void text_listener::device_not_found(unsigned vendor_id, unsigned product_id) {
  out_.error(format_text("AKAI device %04x:%04x was not found.\n", vendor_id, product_id));
}

void text_listener::other_product_found(const usb_device_record& record) {
  out_.error(other_product_line(record));
}

void text_listener::open_failed(usb_error error) {
  out_.error(call_failure_line("IOCreatePlugInInterfaceForService(device)", ioreturn_code(error)));
  if (error == usb_error::access) {
    out_.error(permission_hint);
  }
}

void text_listener::call_failed(const char* call, usb_error error) {
  out_.error(call_failure_line(call, ioreturn_code(error)));
}

void text_listener::configuration_kept(usb_error error) {
  out_.error(format_text(
      "Warning: USBDeviceOpen failed (0x%08x), continuing with the current configuration.\n",
      ioreturn_code(error)));
}

void text_listener::interface_held(const std::vector<usb_node_holder>& holders) {
  out_.error(holder_lines(holders));
}

void text_listener::no_bulk_interface() {
  out_.error("Could not find/open a bulk IN/OUT interface on the AKAI device.\n");
}

void text_listener::device_opened(unsigned vendor_id, unsigned product_id,
                                  const usb_handle& handle) {
  out_.report(
      format_text("Opened AKAI USB device %04x:%04x, interface %u, IN pipe %u, OUT pipe %u.\n",
                  vendor_id, product_id, handle.interface_number, handle.in_pipe, handle.out_pipe));
}

void text_listener::device_listed(const usb_device_record& record, const char* class_name) {
  const bool has_class = class_name != nullptr && class_name[0] != '\0';
  const std::string name =
      printable_device_string(record.product_name.empty() ? record.location : record.product_name);
  out_.report(format_text("  %04x:%04x  %s%s%s\n", record.vendor_id, record.product_id,
                          name.c_str(), has_class ? "  " : "", has_class ? class_name : ""));
}

void text_listener::short_read(std::size_t received, std::size_t expected) {
  out_.error(format_text("USB read short transfer: %u of %d bytes.\n",
                         static_cast<unsigned>(received), static_cast<int>(expected)));
}

void text_listener::bad_status_signature(const std::uint8_t* s) {
  out_.error(
      format_text("Unexpected status signature: %02x %02x %02x %02x\n", s[0], s[1], s[2], s[3]));
}

void text_listener::status_error(std::uint8_t code) {
  out_.error(format_text("Device returned status error 0x%02x.\n", code));
}

void text_listener::geometry_read(const flash_geometry& geometry) {
  out_.report(format_text("Flash geometry: %u blocks x %u bytes (%llu bytes).\n", geometry.blocks,
                          geometry.block_size, static_cast<unsigned long long>(geometry.size())));
}

void text_listener::update_refused(update_refusal why, std::size_t image_length,
                                   const flash_geometry& geometry) {
  switch (why) {
    case update_refusal::suspicious_geometry:
      out_.error(format_text("Refusing suspicious flash geometry: blocks=%u block_size=%u.\n",
                             geometry.blocks, geometry.block_size));
      return;
    case update_refusal::image_too_large:
      out_.error(format_text("Firmware is larger than device flash (%zu > %llu).\n", image_length,
                             static_cast<unsigned long long>(geometry.size())));
      return;
    case update_refusal::chunk_size_zero:
      out_.error("Write chunk size must not be 0.\n");
      return;
  }
}

void text_listener::update_planned(std::size_t image_length, const flash_geometry& geometry) {
  out_.report(format_text("Firmware: %zu bytes. Flash: %u blocks x %u bytes (%llu bytes).\n",
                          image_length, geometry.blocks, geometry.block_size,
                          static_cast<unsigned long long>(geometry.size())));
}

void text_listener::phase_begins(update_phase phase) {
  out_.report(phase == update_phase::erase ? "Erasing flash...\n" : "Writing firmware...\n");
}

void text_listener::block_erased(std::uint32_t done, std::uint32_t blocks) {
  out_.progress("Erase", done, blocks);
}

void text_listener::chunk_written(std::uint32_t done, std::uint32_t chunks, std::uint32_t) {
  out_.progress("Write", done, chunks);
}

void text_listener::update_ends(const update_ending& how) {
  const bool erase = how.where == update_phase::erase;
  switch (how.how) {
    case update_ending::outcome::completed:
      out_.report(summary_line(how));
      out_.report("OS upload complete. Restart the MPC4000 after the device reports completion.\n");
      return;
    case update_ending::outcome::failed:
      out_.error(erase ? format_text("Erase failed at block %u.\n", how.position)
                       : format_text("Write failed at offset 0x%08x.\n", how.position));
      return;
    case update_ending::outcome::stopped:
      out_.error(
          erase ? format_text("Erase stopped at block %u. %s\n", how.position, run_again)
                : format_text("Write stopped at offset 0x%08x. %s\n", how.position, run_again));
      return;
  }
}

}  // namespace vt
