// The flash tool's lines for what the device search and the protocol tell: the exact texts, on
// the exact streams, in the order the events come. The command line writes them to standard
// output and standard error; another front end may show the same lines through its own sink.
#pragma once

#include "events.h"
#include "text_output.h"

namespace vt {

class text_listener final : public event_listener {
 public:
  explicit text_listener(text_output& output) : out_(output) {}

  void search_failed(usb_error error) override;
  void device_not_found(unsigned vendor_id, unsigned product_id) override;
  void other_product_found(const usb_device_record& record) override;
  void open_failed(usb_error error) override;
  void call_failed(const char* call, usb_error error) override;
  void configuration_kept(usb_error error) override;
  void interface_held(const std::vector<usb_node_holder>& holders) override;
  void no_bulk_interface() override;
  void device_opened(unsigned vendor_id, unsigned product_id, const usb_handle& handle) override;
  void device_listed(const usb_device_record& record, const char* class_name) override;
  void short_read(std::size_t received, std::size_t expected) override;
  void bad_status_signature(const std::uint8_t* four_bytes) override;
  void status_error(std::uint8_t code) override;
  void geometry_read(const flash_geometry& geometry) override;
  void update_refused(update_refusal why, std::size_t image_length,
                      const flash_geometry& geometry) override;
  void update_planned(std::size_t image_length, const flash_geometry& geometry) override;
  void phase_begins(update_phase phase) override;
  void block_erased(std::uint32_t done, std::uint32_t blocks) override;
  void chunk_written(std::uint32_t done, std::uint32_t chunks, std::uint32_t offset) override;
  void update_ends(const update_ending& how) override;

 private:
  text_output& out_;
};

// "Erased 64 blocks in 12.8 s, wrote 2097152 bytes in 7.9 s (259.2 KiB/s).\n": the summary of a
// completed installation; the speed is left out when the write took no time.
std::string summary_line(const update_ending& completed);

// "%s failed: IOReturn 0x%08x.\n": the one line for a failed platform call.
std::string call_failure_line(const char* call, std::uint32_t code);

}  // namespace vt
