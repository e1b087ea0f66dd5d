#include <gtest/gtest.h>
#include "loader.h"
TEST(ChunkCrc, Abc) { EXPECT_EQ(vt::chunk_crc(reinterpret_cast<const std::uint8_t*>("abc"), 3), 0x359A672Fu); }
