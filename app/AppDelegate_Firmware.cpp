// Choosing the OS image to install: the quick check of a file, adopting it, the built-in image
// and the open panel.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <array>
#include <cerrno>
#include <cstring>

#include "AppDelegate.h"
#include "TextFormat.h"
#include "Translations.h"

namespace {

constexpr char kSignature[] = "MPC4000 Operating System";
constexpr qsizetype kSignatureOffset = 32;
constexpr qsizetype kSignatureLength = sizeof kSignature - 1;
constexpr qsizetype kCheckedLength = kSignatureOffset + kSignatureLength;  // 56

// Owns one open file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The first bytes of the file at `path`, at most kCheckedLength of them. Anything that is not a
// readable regular file yields no bytes. Opening does not wait for a writer (a FIFO) and the type
// is taken from the opened descriptor, so a device such as /dev/zero is never read from.
QByteArray ReadHead(const QString& path) {
  const FileDescriptor file(
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) {
    return {};
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {};
  }
  std::array<char, kCheckedLength> head{};
  qsizetype filled = 0;
  while (filled < kCheckedLength) {
    const ssize_t n = ::read(file.get(), head.data() + filled, size_t(kCheckedLength - filled));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    filled += n;
  }
  return QByteArray(head.data(), filled);
}

}  // namespace

bool AppDelegate::validateFirmwareAtPath(const QString& path, QString* error) const {
  // The same rule as the flash tool's: at least 56 bytes, the signature at offset 32. Nothing
  // else of the file is looked at, so only its first 56 bytes are read.
  const QByteArray head = ReadHead(path);
  if (head.size() < kCheckedLength) {
    if (error) {
      *error = L("firmware.invalid.small");
    }
    return false;
  }
  if (std::memcmp(head.constData() + kSignatureOffset, kSignature, kSignatureLength) != 0) {
    if (error) {
      *error = L("firmware.invalid.signature");
    }
    return false;
  }
  return true;
}

void AppDelegate::selectFirmwareAtPath(const QString& path) {
  QString error;
  if (!validateFirmwareAtPath(path, &error)) {
    // A refused file changes nothing: an image adopted before stays adopted.
    dialogs_->alert(Dialogs::Style::Warning, L("firmware.invalid.title"), error);
    return;
  }
  firmwarePath_ = path;
  appendLog(FormatWithString(L("log.firmware"), path) + QLatin1Char('\n'));
  refreshTexts();
  updateButtons();
}

void AppDelegate::useBundledFirmware() {
  const QString path = bundledFirmwarePath();
  if (path.isEmpty()) {
    return;
  }
  selectFirmwareAtPath(path);
}

void AppDelegate::chooseFirmware() {
  const QString path = dialogs_->openFile(L("panel.message"));
  if (path.isEmpty()) {
    return;
  }
  selectFirmwareAtPath(path);
}
