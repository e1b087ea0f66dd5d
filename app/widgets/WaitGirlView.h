#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

// The colour of a level (0 to 15) of the waiting animation, opaque.
QRgb WaitGirlLevelColor(int level);

// Decodes one run-length frame record (16-bit width and height, little-endian, then runs) into an
// opaque RGBX image. The record has no length: decoding stops after width x height pixels.
QImage DecodeWaitGirlFrame(const std::uint8_t* record);
// The same for a record of known size: reading stops at its end too, and pixels that no run
// reached stay zero. A record shorter than its 4-byte header gives a null image.
QImage DecodeWaitGirlFrame(const std::uint8_t* record, std::size_t size);

// Asks whether the user wants reduced motion and hands the answer to `answer` once: at once when
// there is nothing to ask, else later from the event loop. On GNOME this is the
// "enable-animations" setting, given a short time to answer; elsewhere the answer is no. The
// question never waits: the window keeps drawing and taking input while it is open. `context`
// bounds it: once that object is gone, no answer comes.
void AskSystemPrefersReducedMotion(QObject* context, std::function<void(bool)> answer);
using ReducedMotionQuery = std::function<void(QObject* context, std::function<void(bool)> answer)>;

// The small pixel-art scene at the left of the window: an idle picture, and while the flash tool
// runs a girl who taps her foot while a speech bubble asks to wait.
class WaitGirlView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 106;
  static constexpr int kDesignHeight = 76;
  static constexpr int kIdleFrame = 0;
  static constexpr int kStillFrame = 4;

  explicit WaitGirlView(QWidget* parent = nullptr);
  ~WaitGirlView() override;

  // Asks whether reduced motion is wanted, then starts the animation, or shows the still picture.
  // The idle picture stays until the answer is in. A second start while the animation runs or
  // the question is open changes nothing.
  void startWaiting();
  // Stops the animation (if any), forgets an open question and shows the idle picture.
  void stopWaiting();
  // One step of the animation: frames 1, 2, 3, 4, 5, then 4 and 5 in turn.
  void tick();
  // Shows the frame with the given index (0 to 5) at the next paint.
  void showFrame(int index);

  const QList<QImage>& frames() const { return frames_; }
  int frameIndex() const { return frameIndex_; }
  // True exactly while the animation timer runs.
  bool isAnimating() const;
  // The running timer, or null when the animation does not run.
  const QTimer* timer() const { return timer_.get(); }

  // Replaces the question "does the user want reduced motion?" (tests; the default asks the
  // platform with AskSystemPrefersReducedMotion).
  void setReducedMotionQuery(ReducedMotionQuery query);

  // Where a frame is drawn in a view with these bounds (Qt coordinates), and at which scale, both
  // in device pixels: on a screen of `devicePixelRatio` (1.25, 1.5, ...) the scale is a whole
  // number of device pixels, so every pixel of the picture is a square of the same size.
  static int scaleForBounds(const QRect& bounds, qreal devicePixelRatio = 1.0);
  static QRect imageRectForBounds(const QRect& bounds, qreal devicePixelRatio = 1.0);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Shows the still picture or starts the animation, as the answer about reduced motion says.
  void beginWaiting(bool reduceMotion);

  QList<QImage> frames_;
  std::unique_ptr<QTimer> timer_;
  int frameIndex_ = kIdleFrame;
  ReducedMotionQuery reducedMotionQuery_;
  // The number of the latest start; an answer to an earlier one, or one after a stop, is late.
  int question_ = 0;
  bool asking_ = false;
};
