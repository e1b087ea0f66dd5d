// The waiting animation's run-length frame decoder on any record: no read past the record's end,
// and an image of exactly the record's width and height whenever it has pixels.
#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "widgets/WaitGirlView.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The frames are small pictures; keep each input's image small so a run stays fast.
  std::vector<std::uint8_t> record(data, data + size);
  if (record.size() >= 4) {
    record[1] &= 0x01;
    record[3] &= 0x01;
  }
  const QImage image = DecodeWaitGirlFrame(record.data(), record.size());
  if (record.size() < 4) {
    if (!image.isNull())
      std::abort();
    return 0;
  }
  const int width = record[0] | (record[1] << 8);
  const int height = record[2] | (record[3] << 8);
  if (width * height == 0) {
    if (!image.isNull())
      std::abort();
    return 0;
  }
  if (image.width() != width || image.height() != height ||
      image.format() != QImage::Format_RGBX8888) {
    std::abort();
  }
  return 0;
}
