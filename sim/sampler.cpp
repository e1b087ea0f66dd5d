#include "sampler.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "loader.h"
#include "protocol.h"

namespace vt::sim {

namespace {

namespace at = command_field;

bool all_zero(const std::uint8_t* bytes, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}

// The data length must stand in exactly the one place its size calls for.
bool length_well_placed(const std::uint8_t* block, std::uint32_t& length) {
  const std::uint8_t one = block[at::length_1];
  const std::uint16_t two = get_le16(block + at::length_2);
  const std::uint32_t four = get_le32(block + at::length_4);
  if (two == 0 && four == 0) {
    length = one;
    return true;
  }
  if (one == 0 && four == 0) {
    length = two;
    return two >= 0x100;
  }
  if (one == 0 && two == 0) {
    length = four;
    return four >= 0x10000;
  }
  return false;
}

// Hands a reply to the host's read: cut short when a fault says so, refused as an overflow when
// the host asked for fewer bytes than the loader sends.
usb_error deliver(const std::uint8_t* reply, std::size_t size, const fault* shortened,
                  std::uint8_t* data, std::size_t length, std::size_t& produced) {
  if (shortened != nullptr) {
    size = std::min(shortened->length, size);
  }
  if (length < size) {
    return usb_error::overflow;
  }
  std::memcpy(data, reply, size);
  produced = size;
  return usb_error::ok;
}

// What an untouched block held before: an older OS, never the erased pattern.
std::uint8_t old_byte(std::uint64_t address) {
  return static_cast<std::uint8_t>(0x5A ^ (address & 0x3F));
}

}  // namespace

sampler::sampler(sampler_config config)
    : config_(std::move(config)),
      block_states_(config_.blocks, block_state::old),
      block_data_(config_.blocks) {}

std::uint64_t sampler::flash_size() const {
  return static_cast<std::uint64_t>(config_.blocks) * config_.block_size;
}

bool sampler::injected_failure(phase where, std::uint32_t index, transfer on, usb_error& error) {
  for (const fault& f : config_.faults) {
    if (f.what == fault::kind::transfer_error && f.where == where && f.index == index &&
        f.on == on) {
      gone_ = f.error == usb_error::no_device;
      error = f.error;
      return true;
    }
  }
  return false;
}

usb_error sampler::injected_error(transfer on) const {
  for (const fault& f : config_.faults) {
    if (f.what == fault::kind::transfer_error && f.where == phase_ && f.index == exchange_ &&
        f.on == on) {
      return f.error;
    }
  }
  return usb_error::ok;
}

const fault* sampler::fault_of(fault::kind what) const {
  for (const fault& f : config_.faults) {
    if (f.what == what && f.where == phase_ && f.index == exchange_) {
      return &f;
    }
  }
  return nullptr;
}

std::uint8_t sampler::check_command(const std::uint8_t* block, std::size_t length) const {
  if (length != command_block_size ||
      std::memcmp(block + at::signature, at::signature_text, block_signature_length) != 0 ||
      !all_zero(block + at::zero_after_signature, at::flags - at::zero_after_signature) ||
      !all_zero(block + at::zero_between_lengths, at::length_4 - at::zero_between_lengths) ||
      block[at::fixed] != at::fixed_value ||
      !all_zero(block + at::zero_after_parameters, at::trailer - at::zero_after_parameters) ||
      block[at::trailer] != at::trailer_value) {
    return status_malformed_command;
  }
  std::uint32_t data_length = 0;
  if (!length_well_placed(block, data_length)) {
    return status_malformed_command;
  }
  const std::uint8_t flags = block[at::flags];
  const std::uint8_t parameters = block[at::parameter_length];
  const std::uint32_t first = get_le32(block + at::first);
  const std::uint32_t second = get_le32(block + at::second);
  switch (block[at::code]) {
    case CMD_GET_GEOMETRY:
      if (flags != at::flags_no_data_out || parameters != at::parameters_geometry ||
          data_length != geometry_reply_size || first != 0 || second != 0) {
        return status_malformed_command;
      }
      return status_ok;
    case CMD_ERASE_BLOCK:
      if (flags != at::flags_no_data_out || parameters != at::parameters_erase ||
          data_length != 0 || second != 0) {
        return status_malformed_command;
      }
      return first < config_.blocks ? status_ok : status_block_out_of_range;
    case CMD_WRITE_CHUNK:
      if (flags != at::flags_data_out || parameters != at::parameters_write || data_length == 0) {
        return status_malformed_command;
      }
      return static_cast<std::uint64_t>(first) + data_length <= flash_size()
                 ? status_ok
                 : status_write_out_of_range;
    default:
      return status_unknown_command;
  }
}

void sampler::accept_command(const std::uint8_t* block) {
  const std::uint32_t first = get_le32(block + at::first);
  switch (block[at::code]) {
    case CMD_GET_GEOMETRY:
      state_ = expecting::geometry_reply;
      break;
    case CMD_ERASE_BLOCK:
      spend(std::chrono::milliseconds(config_.erase_ms));
      block_states_[first] = block_state::erased;
      block_data_[first].reset();
      erase_log_.push_back(first);
      if (listener_) {
        const std::vector<std::uint8_t> erased(config_.block_size, 0xFF);
        listener_(static_cast<std::uint64_t>(first) * config_.block_size, erased.data(),
                  erased.size());
      }
      state_ = expecting::status;
      break;
    case CMD_WRITE_CHUNK:
      length_well_placed(block, chunk_length_);
      chunk_offset_ = first;
      chunk_crc_ = get_le32(block + at::second);
      state_ = expecting::chunk_data;
      break;
    default:
      break;
  }
}

std::uint8_t sampler::write_chunk(const std::uint8_t* data, std::size_t length) {
  if (length != chunk_length_) {
    return status_length_mismatch;
  }
  if (chunk_crc(data, length) != chunk_crc_) {
    return status_checksum_mismatch;
  }
  // Walk the chunk block by block: first check that every byte it covers is erased, then program.
  const std::uint64_t start = chunk_offset_;
  for (std::uint64_t a = start; a < start + length;) {
    const auto b = static_cast<std::size_t>(a / config_.block_size);
    const std::uint64_t within = a % config_.block_size;
    const std::uint64_t n =
        std::min<std::uint64_t>(config_.block_size - within, start + length - a);
    if (block_states_[b] == block_state::old) {
      return status_not_erased;
    }
    if (block_states_[b] == block_state::programmed) {
      const std::uint8_t* bytes = block_data_[b].get() + within;
      for (std::uint64_t i = 0; i < n; ++i) {
        if (bytes[i] != 0xFF) {
          return status_not_erased;
        }
      }
    }
    a += n;
  }
  spend(std::chrono::nanoseconds(static_cast<std::int64_t>(config_.byte_ns) *
                                 static_cast<std::int64_t>(length)));
  for (std::uint64_t a = start; a < start + length;) {
    const auto b = static_cast<std::size_t>(a / config_.block_size);
    const std::uint64_t within = a % config_.block_size;
    const std::uint64_t n =
        std::min<std::uint64_t>(config_.block_size - within, start + length - a);
    if (block_states_[b] == block_state::erased) {
      block_data_[b] = std::make_unique<std::uint8_t[]>(config_.block_size);
      std::memset(block_data_[b].get(), 0xFF, config_.block_size);
      block_states_[b] = block_state::programmed;
    }
    std::memcpy(block_data_[b].get() + within, data + (a - start), n);
    a += n;
  }
  if (listener_) {
    listener_(start, data, length);
  }
  return status_ok;
}

usb_error sampler::receive(const std::uint8_t* data, std::size_t length, std::size_t& accepted) {
  accepted = 0;
  if (gone_) {
    return usb_error::no_device;
  }
  if (state_ == expecting::command) {
    // The exchange this command opens, for the faults.
    const std::uint8_t code = length == command_block_size ? data[at::code] : 0;
    phase where = phase::geometry;
    if (code == CMD_ERASE_BLOCK) {
      where = phase::erase;
    } else if (code == CMD_WRITE_CHUNK) {
      where = phase::write;
    }
    const std::uint32_t index = counts_[static_cast<int>(where)];
    if (usb_error error; injected_failure(where, index, transfer::command, error)) {
      return error;
    }
    phase_ = where;
    exchange_ = index;
    ++counts_[static_cast<int>(where)];
    accepted = length;
    pending_status_ = check_command(data, length);
    if (pending_status_ != status_ok) {
      // A refused write still has its data coming: take it in and answer with the refusal.
      std::uint32_t data_length = 0;
      const bool data_follows =
          code == CMD_WRITE_CHUNK && length_well_placed(data, data_length) && data_length > 0;
      state_ = data_follows ? expecting::chunk_data : expecting::status;
      chunk_length_ = data_follows ? data_length : 0;
      return usb_error::ok;
    }
    accept_command(data);
    return usb_error::ok;
  }
  if (state_ == expecting::chunk_data) {
    if (usb_error error; injected_failure(phase_, exchange_, transfer::data, error)) {
      return error;
    }
    accepted = length;
    if (const fault* f = fault_of(fault::kind::short_write)) {
      // The rest of the chunk never arrived: the loader has nothing complete to program.
      accepted = std::min(f->length, length);
      pending_status_ = status_length_mismatch;
    }
    if (pending_status_ == status_ok) {
      pending_status_ = write_chunk(data, length);
    }
    state_ = expecting::status;
    return usb_error::ok;
  }
  // The loader is waiting to send: it does not take more data and the host's write times out.
  return usb_error::timeout;
}

usb_error sampler::send(std::uint8_t* data, std::size_t length, std::size_t& produced) {
  produced = 0;
  if (gone_) {
    return usb_error::no_device;
  }
  if (state_ == expecting::geometry_reply) {
    if (usb_error error; injected_failure(phase_, exchange_, transfer::reply, error)) {
      return error;
    }
    std::uint8_t reply[geometry_reply_size] = {};
    put_le32(reply + reply_field::blocks, config_.blocks);
    put_le32(reply + reply_field::block_size, config_.block_size);
    if (const usb_error error = deliver(reply, sizeof reply, fault_of(fault::kind::short_geometry),
                                        data, length, produced);
        error != usb_error::ok) {
      return error;
    }
    pending_status_ = status_ok;
    state_ = expecting::status;
    return usb_error::ok;
  }
  if (state_ == expecting::status) {
    if (step_hook_) {
      step_hook_(phase_, exchange_);
    }
    if (const fault* f = fault_of(fault::kind::stall)) {
      spend(std::chrono::seconds(f->seconds));
    }
    if (usb_error error; injected_failure(phase_, exchange_, transfer::status, error)) {
      return error;
    }
    std::uint8_t status[status_block_size] = {};
    std::memcpy(status + status_field::signature, status_field::signature_text,
                block_signature_length);
    status[status_field::code] = pending_status_;
    if (const fault* f = fault_of(fault::kind::status_code)) {
      status[status_field::code] = f->code;
    }
    if (const fault* f = fault_of(fault::kind::bad_signature)) {
      std::memcpy(status + status_field::signature, f->signature.data(), block_signature_length);
    }
    if (const usb_error error = deliver(status, sizeof status, fault_of(fault::kind::short_status),
                                        data, length, produced);
        error != usb_error::ok) {
      return error;
    }
    state_ = expecting::command;
    return usb_error::ok;
  }
  // Nothing to send: the host's read waits until its time-out.
  return usb_error::timeout;
}

// The loader works for that long; a signal that ends the tool ends the wait with it.
void sampler::spend(std::chrono::nanoseconds time) {
  if (time.count() > 0) {
    std::this_thread::sleep_for(time);
    busy_time_ += time;
  }
}

std::uint8_t sampler::read_flash(std::uint64_t address) const {
  const auto b = static_cast<std::size_t>(address / config_.block_size);
  switch (block_states_[b]) {
    case block_state::old:
      return old_byte(address);
    case block_state::erased:
      return 0xFF;
    case block_state::programmed:
      break;
  }
  return block_data_[b][address % config_.block_size];
}

std::vector<std::uint8_t> sampler::flash_contents() const {
  std::vector<std::uint8_t> contents(static_cast<std::size_t>(flash_size()));
  for (std::uint64_t a = 0; a < contents.size(); ++a) {
    contents[a] = read_flash(a);
  }
  return contents;
}

}  // namespace vt::sim
