#pragma once

#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QWidget>

class PlainLabel;

// A rounded panel that groups controls: corner radius 12, a one-pixel border in the separator
// colour, and the control background at 60 % opacity. It follows the light or dark palette.
class CardView : public QWidget {
  Q_OBJECT

 public:
  explicit CardView(QWidget* parent = nullptr);

  // The colours the panel paints with under `palette`.
  static QColor backgroundColor(const QPalette& palette);
  static QColor borderColor(const QPalette& palette);

  // The label whose text names the card to a screen reader, as its caption does on screen.
  void setCaption(QLabel* caption) { caption_ = caption; }
  QString caption() const { return caption_ ? caption_->text() : QString(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QPointer<QLabel> caption_;
};

// A new caption label with `frame` (Qt coordinates, relative to `parent`): 10 px semibold, the
// secondary text colour, cut at the tail, no text yet. The parent owns it.
PlainLabel* MakeCaption(const QRect& frame, QWidget* parent);
