#include "loader.h"

#include <algorithm>
#include <cstring>

namespace vt {

namespace {

// Every command block has the same frame; the data length goes into exactly one of three places,
// chosen by its size.
command_block make_command(std::uint8_t code, std::uint8_t flags, std::uint8_t parameter_length,
                           std::uint32_t data_length, std::uint32_t first, std::uint32_t second) {
  namespace at = command_field;
  command_block block{};
  std::memcpy(block.data() + at::signature, at::signature_text, block_signature_length);
  block[at::flags] = flags;
  block[at::parameter_length] = parameter_length;
  if (data_length < 0x100) {
    block[at::length_1] = static_cast<std::uint8_t>(data_length);
  } else if (data_length < 0x10000) {
    put_le16(block.data() + at::length_2, data_length);
  } else {
    put_le32(block.data() + at::length_4, data_length);
  }
  block[at::code] = code;
  block[at::fixed] = at::fixed_value;
  put_le32(block.data() + at::first, first);
  put_le32(block.data() + at::second, second);
  block[at::trailer] = at::trailer_value;
  return block;
}

int write_all(usb_handle& handle, const std::uint8_t* data, std::size_t length,
              event_listener& listener) {
  std::size_t sent = 0;
  const usb_error error =
      handle.connection->bulk_write(handle.out_endpoint, data, length, sent, transfer_timeout_ms);
  if (error != usb_error::ok) {
    listener.call_failed("USB write", error);
    return -1;
  }
  if (sent != length) {
    // A bulk write that stops short without an error leaves the sampler waiting for the rest.
    listener.call_failed("USB write", usb_error::other);
    return -1;
  }
  return 0;
}

// Reads exactly `length` bytes: a failed call, or a reply of another length, is told.
int read_exact(usb_handle& handle, std::uint8_t* data, std::size_t length,
               event_listener& listener) {
  std::size_t received = 0;
  const usb_error error =
      handle.connection->bulk_read(handle.in_endpoint, data, length, received, transfer_timeout_ms);
  if (error != usb_error::ok) {
    listener.call_failed("USB read", error);
    return -1;
  }
  if (received != length) {
    listener.short_read(received, length);
    return -1;
  }
  return 0;
}

int ended_at(update_ending& end, update_ending::outcome how, update_phase where,
             std::uint32_t position) {
  end = update_ending{how, where, position};
  return -1;
}

int erase_flash(usb_handle& handle, std::uint32_t blocks, event_listener& listener,
                const cancel_token& cancel, update_ending& end) {
  for (std::uint32_t b = 0; b < blocks; ++b) {
    if (cancel.requested()) {
      return ended_at(end, update_ending::outcome::stopped, update_phase::erase, b);
    }
    const command_block command = make_erase_command(b);
    if (write_all(handle, command.data(), command.size(), listener) != 0 ||
        receive_status(handle, listener) != 0) {
      return ended_at(end, update_ending::outcome::failed, update_phase::erase, b);
    }
    listener.block_erased(b + 1, blocks);
  }
  return 0;
}

int write_image(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
                std::uint32_t chunk_size, event_listener& listener, const cancel_token& cancel,
                update_ending& end) {
  const auto chunks = static_cast<std::uint32_t>((image_length + chunk_size - 1) / chunk_size);
  for (std::uint32_t g = 0; g < chunks; ++g) {
    const auto offset = static_cast<std::uint32_t>(static_cast<std::uint64_t>(g) * chunk_size);
    if (cancel.requested()) {
      return ended_at(end, update_ending::outcome::stopped, update_phase::write, offset);
    }
    const auto length =
        static_cast<std::uint32_t>(std::min<std::size_t>(chunk_size, image_length - offset));
    const std::uint8_t* data = image + offset;
    const command_block command = make_write_command(offset, length, chunk_crc(data, length));
    if (write_all(handle, command.data(), command.size(), listener) != 0 ||
        write_all(handle, data, length, listener) != 0 || receive_status(handle, listener) != 0) {
      return ended_at(end, update_ending::outcome::failed, update_phase::write, offset);
    }
    listener.chunk_written(g + 1, chunks, offset);
  }
  return 0;
}

}  // namespace

command_block make_geometry_command() {
  return make_command(CMD_GET_GEOMETRY, command_field::flags_no_data_out,
                      command_field::parameters_geometry, geometry_reply_size, 0, 0);
}

command_block make_erase_command(std::uint32_t block) {
  return make_command(CMD_ERASE_BLOCK, command_field::flags_no_data_out,
                      command_field::parameters_erase, 0, block, 0);
}

command_block make_write_command(std::uint32_t offset, std::uint32_t length, std::uint32_t crc) {
  return make_command(CMD_WRITE_CHUNK, command_field::flags_data_out,
                      command_field::parameters_write, length, offset, crc);
}

int receive_status(usb_handle& handle, event_listener& listener) {
  std::uint8_t status[status_block_size] = {};
  if (read_exact(handle, status, sizeof status, listener) != 0) {
    return -1;
  }
  if (std::memcmp(status + status_field::signature, status_field::signature_text,
                  block_signature_length) != 0) {
    listener.bad_status_signature(status + status_field::signature);
    return -1;
  }
  if (status[status_field::code] != 0) {
    listener.status_error(status[status_field::code]);
    return -1;
  }
  return 0;
}

int query_geometry(usb_handle& handle, flash_geometry& geometry, event_listener& listener) {
  const command_block command = make_geometry_command();
  if (write_all(handle, command.data(), command.size(), listener) != 0) {
    return -1;
  }
  std::uint8_t reply[geometry_reply_size] = {};
  if (read_exact(handle, reply, sizeof reply, listener) != 0 ||
      receive_status(handle, listener) != 0) {
    return -1;
  }
  geometry.blocks = get_le32(reply + reply_field::blocks);
  geometry.block_size = get_le32(reply + reply_field::block_size);
  listener.geometry_read(geometry);
  return 0;
}

int run_update(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
               const flash_geometry& geometry, std::uint32_t chunk_size, event_listener& listener,
               const cancel_token& cancel, const update_clock& clock) {
  if (geometry.blocks < 1 || geometry.blocks > max_flash_blocks || geometry.block_size == 0) {
    listener.update_refused(update_refusal::suspicious_geometry, image_length, geometry);
    return -1;
  }
  if (image_length > geometry.size()) {
    listener.update_refused(update_refusal::image_too_large, image_length, geometry);
    return -1;
  }
  // A chunk size of 0 cannot come from the command line; refuse it rather than divide by it.
  if (chunk_size == 0) {
    listener.update_refused(update_refusal::chunk_size_zero, image_length, geometry);
    return -1;
  }
  listener.update_planned(image_length, geometry);
  listener.phase_begins(update_phase::erase);
  update_ending end;  // completed, unless a step says where it ended
  const auto erase_start = clock.now();
  int result = erase_flash(handle, geometry.blocks, listener, cancel, end);
  if (result == 0) {
    const auto write_start = clock.now();
    end.erase_time = write_start - erase_start;
    listener.phase_begins(update_phase::write);
    result = write_image(handle, image, image_length, chunk_size, listener, cancel, end);
    end.write_time = clock.now() - write_start;
  }
  if (result == 0) {
    end.blocks_erased = geometry.blocks;
    end.bytes_written = image_length;
  }
  listener.update_ends(end);
  return result;
}

}  // namespace vt
