#include <gtest/gtest.h>

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

// Seconds with one decimal; the speed in KiB a second of the write's exact time.
TEST(SummaryLine, TellsEachPhasesTimeAndTheWriteSpeed) {
  using std::chrono::milliseconds;
  const struct {
    std::uint32_t blocks;
    std::uint64_t bytes;
    milliseconds erase;
    milliseconds write;
    std::string line;
  } cases[] = {
      {64, 2097152, milliseconds(12800), milliseconds(7900),
       "Erased 64 blocks in 12.8 s, wrote 2097152 bytes in 7.9 s (259.2 KiB/s).\n"},
      {8, 100000, milliseconds(49), milliseconds(51),
       "Erased 8 blocks in 0.0 s, wrote 100000 bytes in 0.1 s (1914.8 KiB/s).\n"},
      {1, 56, milliseconds(0), milliseconds(0),
       "Erased 1 blocks in 0.0 s, wrote 56 bytes in 0.0 s.\n"},
  };
  for (const auto& c : cases) {
    vt::update_ending done;
    done.blocks_erased = c.blocks;
    done.bytes_written = c.bytes;
    done.erase_time = c.erase;
    done.write_time = c.write;
    EXPECT_EQ(vt::summary_line(done), c.line);
  }
}

}  // namespace
