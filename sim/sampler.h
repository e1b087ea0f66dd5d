// The simulated sampler in its "OS Loader" mode: the loader's side of the protocol, checked as
// strictly as a real loader would check it, with a flash memory whose contents can be read back.
//
// It is independent of any USB platform: a transport hands it the bytes of each bulk transfer.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "usb.h"

namespace vt::sim {

// Error codes the simulated loader answers with in its status block.
enum status_code : std::uint8_t {
  status_ok = 0x00,
  status_malformed_command = 0x01,  // signature, zeros, flags, lengths or fixed bytes wrong
  status_unknown_command = 0x02,
  status_block_out_of_range = 0x03,
  status_write_out_of_range = 0x04,
  status_length_mismatch = 0x05,  // chunk data of another length than announced
  status_checksum_mismatch = 0x06,
  status_not_erased = 0x07,  // a write into flash that was not erased first
};

enum class phase { geometry, erase, write };
enum class transfer { command, data, reply, status };

// One fault injected at one exchange of one phase (0-based; the geometry phase has exchange 0).
struct fault {
  enum class kind {
    status_code,
    short_status,
    bad_signature,
    short_geometry,
    transfer_error,
    short_write,  // takes only `length` bytes of a chunk's data and reports success
    stall,        // the status block comes `seconds` late
  };
  kind what = kind::status_code;
  vt::sim::phase where = phase::geometry;
  std::uint32_t index = 0;
  vt::sim::transfer on = transfer::status;  // for transfer errors
  usb_error error = usb_error::timeout;     // for transfer errors
  std::uint8_t code = 0;                    // for status_code
  std::size_t length = 0;                   // for short_status, short_geometry, short_write
  unsigned seconds = 0;                     // for stall
  std::array<std::uint8_t, 4> signature{};  // for bad_signature
};

struct sampler_config {
  std::uint32_t blocks = 64;
  std::uint32_t block_size = 65536;
  unsigned erase_ms = 0;  // time one block erase takes
  unsigned byte_ns = 0;   // time per written byte
  std::vector<fault> faults;
};

class sampler {
 public:
  // Told of every change of the flash as it happens: the changed range and its new bytes.
  using flash_listener =
      std::function<void(std::uint64_t address, const std::uint8_t* bytes, std::size_t length)>;
  // Called when an exchange has done its work and its status block is about to be sent.
  using step_hook = std::function<void(phase where, std::uint32_t index)>;

  explicit sampler(sampler_config config);

  void on_flash_change(flash_listener listener) { listener_ = std::move(listener); }
  void on_step(step_hook hook) { step_hook_ = std::move(hook); }

  // A bulk OUT transfer from the host.
  usb_error receive(const std::uint8_t* data, std::size_t length, std::size_t& accepted);
  // A bulk IN transfer asked for by the host, of at most `length` bytes.
  usb_error send(std::uint8_t* data, std::size_t length, std::size_t& produced);

  // Unplugged: every transfer from now on fails as "no device".
  bool gone() const { return gone_; }

  // For a transport that has to act before bytes move (a USB gadget cannot give back a packet it
  // has taken): the chunk bytes the loader waits for now, 0 when it waits for a command block or
  // has a reply to send; and the error a fault injects at the next `on` transfer of the exchange
  // in progress, ok when none.
  std::size_t awaited_data() const { return state_ == expecting::chunk_data ? chunk_length_ : 0; }
  usb_error injected_error(transfer on) const;

  // The flash as it is now: erased bytes read 0xFF, untouched blocks keep the old contents.
  std::vector<std::uint8_t> flash_contents() const;
  std::uint64_t flash_size() const;
  // The time the loader has spent on its work so far: erases, writes and stalls, as the scenario
  // gives them. A simulated bus times installations with it, so their summary never varies.
  std::chrono::nanoseconds busy_time() const { return busy_time_; }
  // Blocks in the order they were erased.
  const std::vector<std::uint32_t>& erased_blocks() const { return erase_log_; }

 private:
  enum class expecting { command, chunk_data, geometry_reply, status };

  std::uint8_t check_command(const std::uint8_t* block, std::size_t length) const;
  void accept_command(const std::uint8_t* block);
  std::uint8_t write_chunk(const std::uint8_t* data, std::size_t length);
  // True when a transfer error is injected at this transfer; `error` is then what it fails with,
  // and a device that is gone stays gone.
  bool injected_failure(phase where, std::uint32_t index, transfer on, usb_error& error);
  const fault* fault_of(fault::kind what) const;
  std::uint8_t read_flash(std::uint64_t address) const;
  void spend(std::chrono::nanoseconds time);

  sampler_config config_;
  expecting state_ = expecting::command;
  bool gone_ = false;
  // The exchange in progress.
  phase phase_ = phase::geometry;
  std::uint32_t exchange_ = 0;
  std::uint32_t counts_[3] = {0, 0, 0};
  std::uint8_t pending_status_ = status_ok;
  std::uint32_t chunk_offset_ = 0;
  std::uint32_t chunk_length_ = 0;
  std::uint32_t chunk_crc_ = 0;

  // Per block: never touched (old contents), erased (all 0xFF, no storage), or programmed.
  enum class block_state : std::uint8_t { old, erased, programmed };
  std::vector<block_state> block_states_;
  std::vector<std::unique_ptr<std::uint8_t[]>> block_data_;
  std::vector<std::uint32_t> erase_log_;
  flash_listener listener_;
  step_hook step_hook_;
  std::chrono::nanoseconds busy_time_{0};
};

// Parses a scenario ("blocks=16,block_size=4096,fault=status:0x05@erase3,..."); false with a
// reason on anything it does not understand.
struct scenario {
  sampler_config sampler;
  enum class bus_layout { standard, none, no_endpoints, one_direction, two_in, unusable };
  bus_layout bus = bus_layout::standard;
  bool config_inactive = false;
  bool busy_interface = false;
  bool busy_config = false;
  bool access_denied = false;
  // The sampler's product id: another one is an AKAI device in another mode.
  std::uint16_t product_id = 0x0061;
  // The processes that have the sampler's node open, as the system would tell.
  std::vector<usb_node_holder> holders;
  bool search_fails = false;  // the bus cannot be searched at all
  std::string dump_path;      // holds the flash contents, written as they change
  // The sampler is connected while this file exists (always when it is empty).
  std::string plug_path;
  bool no_hotplug = false;  // the system cannot tell when devices arrive and leave
  // A named pipe the simulated loader waits at, before the status block of one exchange: opened
  // for reading (so the test's open for writing returns once the tool is in that exchange), then
  // one byte or the end of the pipe lets it go on.
  std::string gate_path;
  phase gate_phase = phase::geometry;
  std::uint32_t gate_index = 0;
};

bool parse_scenario(const std::string& text, scenario& result, std::string& error);

}  // namespace vt::sim
