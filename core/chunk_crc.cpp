// The chunk checksum, table-driven eight bytes at a time ("slicing by eight"): fast enough that a
// whole image costs little beside its transfer, with no library behind it.
#include <array>

#include "loader.h"

namespace vt {

namespace {

using crc_tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr crc_tables make_tables() {
  crc_tables tables{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t reg = n;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 1) != 0 ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
    tables[0][n] = reg;
  }
  // tables[k][n]: the register after byte n followed by k zero bytes.
  for (std::size_t k = 1; k < tables.size(); ++k) {
    for (std::size_t n = 0; n < 256; ++n) {
      const std::uint32_t previous = tables[k - 1][n];
      tables[k][n] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr crc_tables tables = make_tables();

}  // namespace

std::uint32_t chunk_crc(const std::uint8_t* data, std::size_t length) {
  std::uint32_t reg = 0;
  for (; length >= 8; data += 8, length -= 8) {
    const std::uint32_t low = reg ^ get_le32(data);
    const std::uint32_t high = get_le32(data + 4);
    reg = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
          tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
          tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
  }
  for (; length > 0; ++data, --length) {
    reg = (reg >> 8) ^ tables[0][(reg ^ *data) & 0xFF];
  }
  return reg ^ 0xFFFFFFFFu;
}

}  // namespace vt
