#include "loader.h"

#include <libdeflate.h>

#include <cstring>

#include "install_guard.h"
#include "output.h"

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

int write_all(usb_handle& handle, const std::uint8_t* data, std::size_t length) {
  std::size_t sent = 0;
  const usb_error error =
      handle.connection->bulk_write(handle.out_endpoint, data, length, sent, transfer_timeout_ms);
  if (error != usb_error::ok) {
    print_call_failure("USB write", error);
    return -1;
  }
  if (sent != length) {
    // A bulk write that stops short without an error leaves the sampler waiting for the rest.
    print_call_failure("USB write", usb_error::other);
    return -1;
  }
  return 0;
}

// Reads exactly `length` bytes: a failed call, or a reply of another length, prints its line.
int read_exact(usb_handle& handle, std::uint8_t* data, std::size_t length) {
  std::size_t received = 0;
  const usb_error error =
      handle.connection->bulk_read(handle.in_endpoint, data, length, received, transfer_timeout_ms);
  if (error != usb_error::ok) {
    print_call_failure("USB read", error);
    return -1;
  }
  if (received != length) {
    out::error("USB read short transfer: %u of %d bytes.\n", static_cast<unsigned>(received),
               static_cast<int>(length));
    return -1;
  }
  return 0;
}

constexpr const char* run_again = "Run the installation again before restarting the MPC4000.";

// Where a failed or stopped installation was, for its record.
int ended_at(record::ending& end, record::outcome how, record::phase where,
             std::uint32_t position) {
  end = record::ending{how, where, position};
  return -1;
}

// A stop asked for (see install_guard) is honoured before the next step, never inside one.
int erase_flash(usb_handle& handle, std::uint32_t blocks, record::ending& end) {
  for (std::uint32_t b = 0; b < blocks; ++b) {
    if (stop_requested()) {
      out::failure_context("Erase stopped at block %u. %s\n", b, run_again);
      return ended_at(end, record::outcome::stopped, record::phase::erase, b);
    }
    const command_block command = make_erase_command(b);
    if (write_all(handle, command.data(), command.size()) != 0 || receive_status(handle) != 0) {
      out::failure_context("Erase failed at block %u.\n", b);
      return ended_at(end, record::outcome::failed, record::phase::erase, b);
    }
    out::progress("Erase", b + 1, blocks);
  }
  out::end_progress();
  return 0;
}

int write_image(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
                std::uint32_t chunk_size, record::ending& end) {
  const auto chunks = static_cast<std::uint32_t>((image_length + chunk_size - 1) / chunk_size);
  for (std::uint32_t g = 0; g < chunks; ++g) {
    const auto offset = static_cast<std::uint32_t>(static_cast<std::uint64_t>(g) * chunk_size);
    if (stop_requested()) {
      out::failure_context("Write stopped at offset 0x%08x. %s\n", offset, run_again);
      return ended_at(end, record::outcome::stopped, record::phase::write, offset);
    }
    const auto length =
        static_cast<std::uint32_t>(std::min<std::size_t>(chunk_size, image_length - offset));
    const std::uint8_t* data = image + offset;
    const command_block command = make_write_command(offset, length, chunk_crc(data, length));
    if (write_all(handle, command.data(), command.size()) != 0 ||
        write_all(handle, data, length) != 0 || receive_status(handle) != 0) {
      out::failure_context("Write failed at offset 0x%08x.\n", offset);
      return ended_at(end, record::outcome::failed, record::phase::write, offset);
    }
    out::progress("Write", g + 1, chunks);
  }
  out::end_progress();
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

std::uint32_t chunk_crc(const std::uint8_t* data, std::size_t length) {
  // libdeflate's CRC-32 inverts its running value on the way in and out: a running value of
  // 0xFFFFFFFF starts the register at 0, as the loader's checksum does.
  return static_cast<std::uint32_t>(libdeflate_crc32(0xFFFFFFFFu, data, length));
}

int receive_status(usb_handle& handle) {
  std::uint8_t status[status_block_size] = {};
  if (read_exact(handle, status, sizeof status) != 0) {
    return -1;
  }
  if (std::memcmp(status + status_field::signature, status_field::signature_text,
                  block_signature_length) != 0) {
    out::error("Unexpected status signature: %02x %02x %02x %02x\n", status[0], status[1],
               status[2], status[3]);
    return -1;
  }
  if (status[status_field::code] != 0) {
    out::error("Device returned status error 0x%02x.\n", status[status_field::code]);
    return -1;
  }
  return 0;
}

int query_geometry(usb_handle& handle, flash_geometry& geometry) {
  const command_block command = make_geometry_command();
  if (write_all(handle, command.data(), command.size()) != 0) {
    return -1;
  }
  std::uint8_t reply[geometry_reply_size] = {};
  if (read_exact(handle, reply, sizeof reply) != 0 || receive_status(handle) != 0) {
    return -1;
  }
  geometry.blocks = get_le32(reply + reply_field::blocks);
  geometry.block_size = get_le32(reply + reply_field::block_size);
  out::report("Flash geometry: %u blocks x %u bytes (%llu bytes).\n", geometry.blocks,
              geometry.block_size, static_cast<unsigned long long>(geometry.size()));
  return 0;
}

int run_update(usb_handle& handle, const std::uint8_t* image, std::size_t image_length,
               std::uint32_t blocks, std::uint32_t block_size, std::uint32_t chunk_size,
               update_listener* listener) {
  if (blocks < 1 || blocks > max_flash_blocks || block_size == 0) {
    out::error("Refusing suspicious flash geometry: blocks=%u block_size=%u.\n", blocks,
               block_size);
    return -1;
  }
  const auto flash_size = static_cast<unsigned long long>(blocks) * block_size;
  if (image_length > flash_size) {
    out::error("Firmware is larger than device flash (%zu > %llu).\n", image_length, flash_size);
    return -1;
  }
  // A chunk size of 0 cannot come from the command line; refuse it rather than divide by it.
  if (chunk_size == 0) {
    out::error("Write chunk size must not be 0.\n");
    return -1;
  }
  out::report("Firmware: %zu bytes. Flash: %u blocks x %u bytes (%llu bytes).\n", image_length,
              blocks, block_size, flash_size);
  out::report("Erasing flash...\n");
  if (listener != nullptr) {
    listener->erase_begins();
  }
  record::ending end;  // completed, unless a step says where it ended
  int result = erase_flash(handle, blocks, end);
  if (result == 0) {
    out::report("Writing firmware...\n");
    result = write_image(handle, image, image_length, chunk_size, end);
  }
  if (result == 0) {
    out::report("OS upload complete. Restart the MPC4000 after the device reports completion.\n");
  }
  if (listener != nullptr) {
    listener->update_ends(end);
  }
  return result;
}

}  // namespace vt
