#include "widgets/WaitGirlView.h"

#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "widgets/wait_girl_frames.h"

namespace {

constexpr int kLastFrame = wait_girl_frame_count - 1;
constexpr int kFirstAnimatedFrame = 1;
constexpr int kTickMs = 300;

// The frame, its inner panel and their corners, in logical pixels.
constexpr int kInset = 10;
constexpr qreal kOuterRadius = 14;
constexpr qreal kInnerRadius = 6;

// How long the desktop may take to answer about reduced motion before the view animates. Nothing
// waits for the answer meanwhile; the idle picture only stays a little longer. A busy machine
// can take a few hundred milliseconds just to start the lookup, which must not make it animate.
constexpr int kReducedMotionWaitMs = 1000;

int ColorComponent(double t, double scale, double offset) {
  return static_cast<int>(std::lround((t * scale + offset) * 255.0));
}

}  // namespace

QRgb WaitGirlLevelColor(int level) {
  const double t = static_cast<double>(std::clamp(level, 0, 15)) / 15.0;
  return qRgb(ColorComponent(t, 0.76, 0.07), ColorComponent(t, 0.77, 0.13),
              ColorComponent(t, 0.71, 0.22));
}

namespace {

// `end` is one past the last byte that may be read, or null for the built-in records, which end
// where their last pixel is produced.
QImage DecodeRecord(const std::uint8_t* record, const std::uint8_t* end) {
  const int width = record[0] | (record[1] << 8);
  const int height = record[2] | (record[3] << 8);
  const qsizetype count = qsizetype(width) * height;
  if (count == 0)
    return {};

  QImage image(width, height, QImage::Format_RGBX8888);
  if (image.isNull())
    return {};
  std::memset(image.bits(), 0, static_cast<std::size_t>(image.sizeInBytes()));
  // Four bytes a pixel and no padding at the row ends, so the pixels are one run of memory.
  std::uint8_t* pixels = image.bits();

  const std::uint8_t* read = record + 4;
  qsizetype p = 0;
  while (p < count && (end == nullptr || read < end)) {
    const std::uint8_t b = read[0];
    const bool longRun = b >= 0x80;
    const qsizetype length = longRun ? (b & 0x7F) : (b >> 4) + 1;
    if (longRun && end != nullptr && read + 1 >= end)
      break;
    const int level = longRun ? (read[1] & 0x0F) : (b & 0x0F);
    const QRgb color = WaitGirlLevelColor(level);
    for (const qsizetype runEnd = std::min(p + length, count); p < runEnd; ++p) {
      std::uint8_t* pixel = pixels + 4 * p;
      pixel[0] = static_cast<std::uint8_t>(qRed(color));
      pixel[1] = static_cast<std::uint8_t>(qGreen(color));
      pixel[2] = static_cast<std::uint8_t>(qBlue(color));
      pixel[3] = 255;
    }
    read += longRun ? 2 : 1;
  }
  return image;
}

}  // namespace

QImage DecodeWaitGirlFrame(const std::uint8_t* record) {
  return DecodeRecord(record, nullptr);
}

QImage DecodeWaitGirlFrame(const std::uint8_t* record, std::size_t size) {
  if (size < 4)
    return {};
  return DecodeRecord(record, record + size);
}

void AskSystemPrefersReducedMotion(QObject* context, std::function<void(bool)> answer) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // GNOME keeps the setting in dconf, which gsettings reads from a mapped file without asking a
  // service; other desktops give no answer we could read without blocking.
  const QString gsettings = qgetenv("XDG_CURRENT_DESKTOP").contains("GNOME")
                                ? QStandardPaths::findExecutable(QStringLiteral("gsettings"))
                                : QString();
  if (gsettings.isEmpty()) {
    answer(false);
    return;
  }
  auto* lookup = new QProcess(context);
  auto* timeout = new QTimer(lookup);
  // One answer, from whichever comes first: the lookup's result, its failure or the time-out.
  auto pending = std::make_shared<std::function<void(bool)>>(std::move(answer));
  const auto reply = [pending](bool reduceMotion) {
    if (*pending) {
      std::exchange(*pending, nullptr)(reduceMotion);
    }
  };
  QObject::connect(lookup, &QProcess::finished, lookup,
                   [lookup, reply](int code, QProcess::ExitStatus status) {
                     const bool off = lookup->readAllStandardOutput().trimmed() == "false";
                     reply(status == QProcess::NormalExit && code == 0 && off);
                     lookup->deleteLater();
                   });
  QObject::connect(lookup, &QProcess::errorOccurred, lookup,
                   [lookup, reply](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) {
                       reply(false);
                       lookup->deleteLater();
                     }
                   });
  // A lookup that does not answer in time is ended, and the view animates; its end then only
  // cleans up.
  QObject::connect(timeout, &QTimer::timeout, lookup, [lookup, reply] {
    reply(false);
    lookup->kill();
  });
  timeout->setSingleShot(true);
  timeout->start(kReducedMotionWaitMs);
  lookup->start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                            QStringLiteral("enable-animations")});
#else
  Q_UNUSED(context);
  answer(false);
#endif
}

WaitGirlView::WaitGirlView(QWidget* parent)
    : QWidget(parent), reducedMotionQuery_(AskSystemPrefersReducedMotion) {
  frames_.reserve(wait_girl_frame_count);
  for (const std::uint8_t* record : wait_girl_frames)
    frames_.append(DecodeWaitGirlFrame(record));
}

WaitGirlView::~WaitGirlView() = default;

void WaitGirlView::startWaiting() {
  if (timer_ || asking_)
    return;
  if (!reducedMotionQuery_) {
    beginWaiting(false);
    return;
  }
  asking_ = true;
  const int question = ++question_;
  reducedMotionQuery_(this, [this, question](bool reduceMotion) {
    if (asking_ && question == question_)
      beginWaiting(reduceMotion);
  });
}

void WaitGirlView::beginWaiting(bool reduceMotion) {
  asking_ = false;
  if (reduceMotion) {
    showFrame(kStillFrame);
    return;
  }
  showFrame(kFirstAnimatedFrame);
  timer_ = std::make_unique<QTimer>();
  timer_->setInterval(kTickMs);
  connect(timer_.get(), &QTimer::timeout, this, &WaitGirlView::tick);
  timer_->start();
}

void WaitGirlView::stopWaiting() {
  asking_ = false;
  timer_.reset();
  showFrame(kIdleFrame);
}

void WaitGirlView::tick() {
  // The bubble builds up once; after that the last two frames alternate (the foot taps).
  showFrame(frameIndex_ < kLastFrame ? frameIndex_ + 1 : kStillFrame);
}

void WaitGirlView::showFrame(int index) {
  if (index < 0 || index > kLastFrame)
    return;
  frameIndex_ = index;
  update();
}

bool WaitGirlView::isAnimating() const {
  return timer_ != nullptr;
}

void WaitGirlView::setReducedMotionQuery(ReducedMotionQuery query) {
  reducedMotionQuery_ = std::move(query);
}

namespace {

// The view's bounds in device pixels.
QRectF DeviceBounds(const QRect& bounds, qreal devicePixelRatio) {
  return {bounds.x() * devicePixelRatio, bounds.y() * devicePixelRatio,
          bounds.width() * devicePixelRatio, bounds.height() * devicePixelRatio};
}

}  // namespace

int WaitGirlView::scaleForBounds(const QRect& bounds, qreal devicePixelRatio) {
  const QRectF device = DeviceBounds(bounds, devicePixelRatio);
  const double inset = kInset * devicePixelRatio;
  const double fitX = (device.width() - 2 * inset) / kDesignWidth;
  const double fitY = (device.height() - 2 * inset) / kDesignHeight;
  return std::max(static_cast<int>(std::floor(std::min(fitX, fitY))), 1);
}

QRect WaitGirlView::imageRectForBounds(const QRect& bounds, qreal devicePixelRatio) {
  const QRectF device = DeviceBounds(bounds, devicePixelRatio);
  const int scale = scaleForBounds(bounds, devicePixelRatio);
  const int width = kDesignWidth * scale;
  const int height = kDesignHeight * scale;
  // Centred, rounding down towards the left and the bottom edge, as a bottom-up layout would.
  const int x = static_cast<int>(std::floor(device.x() + device.width() * 0.5 - width * 0.5));
  const int fromBottom = static_cast<int>(std::floor(device.height() * 0.5 - height * 0.5));
  const int bottom = static_cast<int>(std::lround(device.y() + device.height()));
  return {x, bottom - fromBottom - height, width, height};
}

void WaitGirlView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QRectF bounds = rect();
  painter.setBrush(QColor::fromRgbF(0.09f, 0.10f, 0.12f));
  painter.drawRoundedRect(bounds, kOuterRadius, kOuterRadius);
  painter.setBrush(QColor::fromRgbF(0.83f, 0.90f, 0.93f));
  painter.drawRoundedRect(bounds.adjusted(kInset, kInset, -kInset, -kInset), kInnerRadius,
                          kInnerRadius);

  // A whole number of device pixels per picture pixel and no smoothing keep every source pixel a
  // sharp square of one size, also at fractional scale factors. The painter's scale is the
  // device's (the screen's, or an image's when the view is rendered into one).
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const qreal ratio = painter.deviceTransform().m11() > 0 ? painter.deviceTransform().m11() : 1.0;
  const QRect device = imageRectForBounds(rect(), ratio);
  painter.drawImage(QRectF(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                           device.height() / ratio),
                    frames_.at(frameIndex_));
}
