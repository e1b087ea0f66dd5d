#pragma once

#include <QPlainTextEdit>
#include <QTextCharFormat>

// The log: a read-only, selectable text on a translucent panel with smoothly rounded corners (the
// panel is painted, not cut out with a mask, so its edge is antialiased like a card's). The
// scroll bar sits inside the rounded outline, and a ring shows when the log has the keyboard
// focus. The text keeps an inset of 10 on every side.
class LogView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);

  static constexpr qreal kCornerRadius = 12;
  static constexpr int kTextInset = 10;

  // The colour of the panel under `palette`: the text background, translucent.
  static QColor panelColor(const QPalette& palette);

  // Appends `text` at the end and scrolls there. A selection the user made stays as it was.
  void appendText(const QString& text);

 protected:
  bool event(QEvent* event) override;

 private:
  void paintPanel();

  QTextCharFormat format_;
};
