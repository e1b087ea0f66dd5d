#include "session/ImageFacts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <array>
#include <cerrno>
#include <string>

#include "desktop/TextFormat.h"
#include "desktop/Translations.h"
#include "image_file.h"

ImageFacts ReadImageFacts(const QString& path) {
  // The same safe open as the image check's: the file hashed is the one found to be regular.
  std::string reason;
  const vt::image::file_descriptor file =
      vt::image::open_regular_file(QFile::encodeName(path).constData(), reason);
  struct stat status = {};
  if (!file || ::fstat(file.get(), &status) != 0) {
    return {};
  }
  if (status.st_size > ImageFacts::kLargestHashed) {
    return {qint64(status.st_size), QString()};
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::array<char, 65536> buffer{};
  qint64 size = 0;
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return {};
    }
    if (n == 0) {
      break;
    }
    hash.addData(QByteArrayView(buffer.data(), n));
    size += n;
  }
  return {size, QString::fromLatin1(hash.result().toHex())};
}

QString DescribeImageFacts(const ImageFacts& facts) {
  if (facts.sha256.isEmpty()) {
    return FormatWithString(L("firmware.size"), QString::number(facts.size));
  }
  return FormatWithTwoStrings(L("firmware.facts"), QString::number(facts.size), facts.sha256);
}
