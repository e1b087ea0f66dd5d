#pragma once

#include <QString>
#include <QtGlobal>

// What identifies an OS image file exactly: its length and its SHA-256, so a user can compare it
// with a published checksum before flashing it.
struct ImageFacts {
  // Files larger than this get no checksum: no MPC4000 OS comes near it, and reading one whole
  // would hold the window for as long as the disk needs.
  static constexpr qint64 kLargestHashed = qint64(64) << 20;

  qint64 size = -1;  // -1: the file could not be read
  QString sha256;    // lower-case hexadecimal; empty for a file above kLargestHashed

  bool known() const { return size >= 0; }
};

// Reads the whole regular file at `path` once. Anything that is not a readable regular file (a
// FIFO, a device, a folder) is not read and gives unknown facts.
ImageFacts ReadImageFacts(const QString& path);

// "Size: <size> bytes, SHA-256: <hash>" in the current language, the size alone when there is
// no checksum.
QString DescribeImageFacts(const ImageFacts& facts);
