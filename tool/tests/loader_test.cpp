#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "loader.h"
#include "process.h"
#include "text_listener.h"

namespace {

// The frame every command block shares, byte by byte as the sampler reads it; every byte that is
// not a field stays zero. The offsets are written out here, apart from the tool's layout.
void expect_frame(const vt::command_block& block) {
  const std::vector<unsigned char> head(block.begin(), block.begin() + 6);
  EXPECT_EQ(head, (std::vector<unsigned char>{'z', '4', '8', 'C', 0, 0}));
  EXPECT_EQ(block[11], 0);
  EXPECT_EQ(block[12], 0);
  EXPECT_EQ(block[18], 0x04);
  for (int i = 27; i < 62; ++i) {
    EXPECT_EQ(block[i], 0) << "offset " << i;
  }
  EXPECT_EQ(block[62], 0x01);
}

TEST(CommandBlock, GeometryQuery) {
  const vt::command_block block = vt::make_geometry_command();
  expect_frame(block);
  const std::vector<unsigned char> fields(block.begin() + 6, block.begin() + 27);
  const std::vector<unsigned char> expected = {0x80, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0,
                                               1,    4, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(fields, expected);
}

TEST(CommandBlock, EraseCarriesBlockIndex) {
  const vt::command_block block = vt::make_erase_command(0x0A0B0C0D);
  expect_frame(block);
  const std::vector<unsigned char> fields(block.begin() + 6, block.begin() + 27);
  const std::vector<unsigned char> expected = {0x80, 4, 0,    0,    0,    0,    0, 0, 0, 0, 0,
                                               2,    4, 0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0};
  EXPECT_EQ(fields, expected);
}

struct length_case {
  std::uint32_t length;
  std::vector<unsigned char> one_two_four;  // bytes 8..10 and 13..16
};

class WriteChunkLength : public ::testing::TestWithParam<length_case> {};

// The chunk length goes into exactly one of three places, chosen by its size.
TEST_P(WriteChunkLength, GoesInExactlyOnePlace) {
  const vt::command_block block = vt::make_write_command(0x00123456, GetParam().length, 0xCAFEF00D);
  expect_frame(block);
  EXPECT_EQ(block[6], 0x00);
  EXPECT_EQ(block[7], 8);
  EXPECT_EQ(block[17], 3);
  const std::vector<unsigned char> lengths = {block[8],  block[9],  block[10], block[13],
                                              block[14], block[15], block[16]};
  EXPECT_EQ(lengths, GetParam().one_two_four);
  const std::vector<unsigned char> parameters(block.begin() + 19, block.begin() + 27);
  EXPECT_EQ(parameters, (std::vector<unsigned char>{0x56, 0x34, 0x12, 0, 0x0D, 0xF0, 0xFE, 0xCA}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, WriteChunkLength,
                         ::testing::Values(length_case{56, {56, 0, 0, 0, 0, 0, 0}},
                                           length_case{200, {0xC8, 0, 0, 0, 0, 0, 0}},
                                           length_case{255, {0xFF, 0, 0, 0, 0, 0, 0}},
                                           length_case{256, {0, 0x00, 0x01, 0, 0, 0, 0}},
                                           length_case{300, {0, 0x2C, 0x01, 0, 0, 0, 0}},
                                           length_case{32768, {0, 0x00, 0x80, 0, 0, 0, 0}},
                                           length_case{65535, {0, 0xFF, 0xFF, 0, 0, 0, 0}},
                                           length_case{65536, {0, 0, 0, 0x00, 0x00, 0x01, 0x00}},
                                           length_case{1048576,
                                                       {0, 0, 0, 0x00, 0x00, 0x10, 0x00}}));

// The textbook CRC-32 that starts from 0xFFFFFFFF, computed bit by bit.
std::uint32_t reference_crc(const std::uint8_t* data, std::size_t length) {
  std::uint32_t reg = 0;
  for (std::size_t i = 0; i < length; ++i) {
    reg ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
  }
  return reg ^ 0xFFFFFFFFu;
}

TEST(ChunkCrc, RegisterStartsAtZero) {
  const auto* abc = reinterpret_cast<const std::uint8_t*>("abc");
  EXPECT_EQ(vt::chunk_crc(abc, 3), 0x359A672Fu);
  EXPECT_EQ(vt::chunk_crc(abc, 0), 0xFFFFFFFFu);
}

TEST(ChunkCrc, MatchesBitwiseDefinitionForEveryLengthAndAlignment) {
  const std::vector<unsigned char> data = vt::test::make_image(4096, 7);
  for (std::size_t start = 0; start < 9; ++start) {
    for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 1000u, 4000u}) {
      EXPECT_EQ(vt::chunk_crc(data.data() + start, length),
                reference_crc(data.data() + start, length))
          << "start " << start << " length " << length;
    }
  }
}

// An opened sampler whose IN pipe answers every read with the same bytes.
class answering_connection final : public vt::usb_connection {
 public:
  explicit answering_connection(std::vector<std::uint8_t> answer) : answer_(std::move(answer)) {}
  vt::usb_error get_configuration(int&) override { return vt::usb_error::ok; }
  vt::usb_error set_configuration(int) override { return vt::usb_error::ok; }
  vt::usb_error active_config_descriptor(vt::usb_config_desc&) override {
    return vt::usb_error::ok;
  }
  vt::usb_error claim_interface(std::uint8_t) override { return vt::usb_error::ok; }
  void release_interface(std::uint8_t) override {}
  vt::usb_error bulk_write(std::uint8_t, const std::uint8_t*, std::size_t length,
                           std::size_t& transferred, unsigned) override {
    transferred = length;
    return vt::usb_error::ok;
  }
  vt::usb_error bulk_read(std::uint8_t, std::uint8_t* data, std::size_t length,
                          std::size_t& transferred, unsigned) override {
    transferred = std::min(length, answer_.size());
    std::copy_n(answer_.begin(), transferred, data);
    return vt::usb_error::ok;
  }

 private:
  std::vector<std::uint8_t> answer_;
};

struct captured_lines final : vt::line_sink {
  std::string text;
  void write(vt::text_stream, std::string_view line) override { text += line; }
};

// The status block as the loader sends it: "z48S", the code at offset 15, 19 bytes in all.
TEST(StatusBlock, SignatureAndCodeAreReadWhereTheLoaderPutsThem) {
  const struct {
    std::vector<std::uint8_t> block;
    int result;
    std::string err;
  } cases[] = {
      {{'z', '4', '8', 'S', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, ""},
      {{'z', '4', '8', 'S', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0, 0, 0},
       -1,
       "Device returned status error 0x05.\n"},
      {{'z', '4', '8', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       -1,
       "Unexpected status signature: 7a 34 38 43\n"},
      {{'z', '4', '8', 'S', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       -1,
       "USB read short transfer: 18 of 19 bytes.\n"},
  };
  for (const auto& c : cases) {
    vt::usb_handle handle;
    handle.connection = std::make_unique<answering_connection>(c.block);
    captured_lines lines;
    vt::text_output output(lines);
    vt::text_listener listener(output);
    EXPECT_EQ(vt::receive_status(handle, listener), c.result) << c.err;
    EXPECT_EQ(lines.text, c.err);
  }
}

}  // namespace
