#pragma once

#include <QAbstractButton>

// A borderless button that shows its text in the palette's link colour and is exactly as large as
// that text, like a hyperlink in a line of text.
class LinkButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit LinkButton(const QString& text, QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
