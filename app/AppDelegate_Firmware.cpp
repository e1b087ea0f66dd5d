// Choosing the OS image to install: the quick check of a file, adopting it, the built-in image
// and the open panel.

#include <QFile>
#include <cstdint>

#include "AppDelegate.h"
#include "ImageFacts.h"
#include "TextFormat.h"
#include "Translations.h"
#include "image_file.h"

bool AppDelegate::validateFirmwareAtPath(const QString& path, QString* error) const {
  // The flash tool's own rule; only the head of the file is read. Anything that is not a
  // readable regular file reads as no bytes, so it is too small. The demo image passes: the demo
  // installs it on the simulated sampler.
  std::uint8_t head[vt::image::min_length];
  const long got = vt::image::read_head(QFile::encodeName(path).constData(), head, sizeof head);
  const vt::image::verdict verdict =
      vt::image::check(head, got > 0 ? static_cast<std::size_t>(got) : 0);
  if (verdict == vt::image::verdict::ok) {
    return true;
  }
  if (error) {
    *error = L(verdict == vt::image::verdict::too_small ? "firmware.invalid.small"
                                                        : "firmware.invalid.signature");
  }
  return false;
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
  // The exact length and checksum say which file this is, to compare with a published one.
  firmwareFacts_ = ReadImageFacts(path);
  firmwareFactsPath_ = path;
  if (firmwareFacts_.known()) {
    appendLog(DescribeImageFacts(firmwareFacts_) + QLatin1Char('\n'));
  }
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
