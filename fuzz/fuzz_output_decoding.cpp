// Decoding one chunk of a flash tool's output: UTF-8 when the chunk is valid UTF-8 by itself, else
// ISO Latin 1. Whatever the bytes, no byte is lost: the text encodes back to exactly the chunk.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "session/ToolRunner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = ToolRunner::decodeOutputChunk(bytes);
  if (bytes.isEmpty()) {
    if (!text.isEmpty())
      std::abort();
    return 0;
  }
  if (text == QString::fromLatin1(bytes))
    return 0;
  // Read as UTF-8: it must give the same bytes back, a leading byte order mark included.
  if (text.toUtf8() != bytes)
    std::abort();
  return 0;
}
