// CRC-32 with the reflected polynomial 0xEDB88320, eight bytes a step (slicing by 8): fast enough
// that the page's installation spends its time on the transfers, not on the checksum.
#include <array>

#include "libdeflate.h"

namespace {

using table_set = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr table_set make_tables() {
  table_set tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    }
    tables[0][i] = value;
  }
  for (std::size_t t = 1; t < tables.size(); ++t) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
  }
  return tables;
}

constexpr table_set tables = make_tables();

}  // namespace

extern "C" uint32_t libdeflate_crc32(uint32_t crc, const void* buffer, size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t value = ~crc;
  for (; length >= 8; length -= 8, bytes += 8) {
    const std::uint32_t low = value ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                       static_cast<std::uint32_t>(bytes[3]) << 24);
    value = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
            tables[4][low >> 24] ^ tables[3][bytes[4]] ^ tables[2][bytes[5]] ^ tables[1][bytes[6]] ^
            tables[0][bytes[7]];
  }
  for (; length > 0; --length, ++bytes) {
    value = (value >> 8) ^ tables[0][(value ^ *bytes) & 0xFF];
  }
  return ~value;
}
