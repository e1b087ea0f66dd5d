// The simulated sampler refuses what a strict loader would refuse.
#include <gtest/gtest.h>

#include "loader.h"
#include "process.h"
#include "sim/sampler.h"

namespace {

using vt::sim::sampler;

// Sends a command block (and data, if any) and reads its status block.
std::uint8_t run_exchange(sampler& s, const vt::command_block& block,
                          const std::vector<unsigned char>& data = {}) {
  std::size_t moved = 0;
  EXPECT_EQ(s.receive(block.data(), block.size(), moved), vt::usb_error::ok);
  if (!data.empty() && block[vt::command_field::code] == vt::CMD_WRITE_CHUNK) {
    EXPECT_EQ(s.receive(data.data(), data.size(), moved), vt::usb_error::ok);
  }
  // Written out apart from the shared layout: 19 bytes, "z48S", the code at offset 15.
  std::uint8_t status[19] = {};
  EXPECT_EQ(s.send(status, sizeof status, moved), vt::usb_error::ok);
  EXPECT_EQ(moved, 19u);
  EXPECT_EQ(std::string(status, status + 4), "z48S");
  return status[15];
}

vt::sim::sampler_config small() {
  vt::sim::sampler_config config;
  config.blocks = 4;
  config.block_size = 256;
  return config;
}

TEST(Sampler, RefusesMalformedCommandBlocks) {
  struct change {
    std::size_t at;
    std::uint8_t value;
  };
  for (const change c :
       {change{0, 'Z'}, change{4, 1}, change{6, 0x00}, change{7, 3}, change{12, 1},
        change{18, 0x05}, change{40, 1}, change{62, 0}, change{9, 1} /* length in two places */}) {
    sampler s(small());
    vt::command_block block = vt::make_erase_command(1);
    block[c.at] = c.value;
    EXPECT_EQ(run_exchange(s, block), vt::sim::status_malformed_command) << "offset " << c.at;
    EXPECT_TRUE(s.erased_blocks().empty());
  }
}

TEST(Sampler, RefusesWritesThatAreWrong) {
  const std::vector<unsigned char> data(100, 0x42);
  const std::uint32_t crc = vt::chunk_crc(data.data(), data.size());
  struct write_case {
    bool erase_first;
    vt::command_block block;
    std::uint8_t expected;
  };
  const write_case cases[] = {
      {false, vt::make_write_command(0, 100, crc), vt::sim::status_not_erased},
      {true, vt::make_write_command(0, 100, crc ^ 1), vt::sim::status_checksum_mismatch},
      {true, vt::make_write_command(1000, 100, crc), vt::sim::status_write_out_of_range},
      {true, vt::make_write_command(0, 101, crc), vt::sim::status_length_mismatch},
      {true, vt::make_write_command(0, 100, crc), vt::sim::status_ok},
  };
  for (const write_case& c : cases) {
    sampler s(small());
    if (c.erase_first) {
      ASSERT_EQ(run_exchange(s, vt::make_erase_command(0)), vt::sim::status_ok);
    }
    EXPECT_EQ(run_exchange(s, c.block, data), c.expected);
  }
}

TEST(Sampler, SecondWriteToTheSameBytesNeedsAnErase) {
  sampler s(small());
  const std::vector<unsigned char> data(16, 0x00);
  const auto write = vt::make_write_command(0, 16, vt::chunk_crc(data.data(), 16));
  ASSERT_EQ(run_exchange(s, vt::make_erase_command(0)), vt::sim::status_ok);
  EXPECT_EQ(run_exchange(s, write, data), vt::sim::status_ok);
  EXPECT_EQ(run_exchange(s, write, data), vt::sim::status_not_erased);
}

TEST(Sampler, ReadsWithNothingToSendTimeOut) {
  sampler s(small());
  std::uint8_t buffer[vt::status_block_size];
  std::size_t moved = 0;
  EXPECT_EQ(s.send(buffer, sizeof buffer, moved), vt::usb_error::timeout);
}

TEST(Scenario, RefusesWhatItDoesNotUnderstand) {
  for (const char* text :
       {"blocks", "colour=red", "blocks=-1", "fault=status:0x05", "fault=status:0x100@erase1",
        "fault=short_geometry:4@erase0", "fault=timeout@write0", "fault=timeout:bulk@write0",
        "fault=signature:zz@erase0", "fault=stall:3601@write0", "fault=stall:2x@write0",
        "bus=sideways", "erase_ms=1x"}) {
    vt::sim::scenario setup;
    std::string error;
    EXPECT_FALSE(vt::sim::parse_scenario(text, setup, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
