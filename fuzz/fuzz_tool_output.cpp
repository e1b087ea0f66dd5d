// Whatever bytes a flash tool prints, in whatever chunks: each chunk is decoded and parsed as the
// session does it, without a crash, and every recognised line keeps the bar and the percentage in
// range and is a trimmed line of the chunk.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "session/OutputParser.h"
#include "session/ToolRunner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the rest into two chunks, as two reads of the pipe would.
  const std::size_t split = size > 0 ? data[0] % (size + 1) : 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QByteArray& chunk : {bytes.left(split), bytes.mid(split)}) {
    const QString text = ToolRunner::decodeOutputChunk(chunk);
    for (const OutputLine& line : ParseToolOutput(text)) {
      if (line.percent < -1 || line.percent > 100 || line.bar < 0.0 || line.bar > 100.0 ||
          line.text.isEmpty() || line.text != line.text.trimmed() || !text.contains(line.text)) {
        std::abort();
      }
    }
  }
  return 0;
}
