#include "widgets/Accessibility.h"

#include <QAccessibleWidget>
#include <QProgressBar>

#include "widgets/CardView.h"
#include "widgets/SegmentedControl.h"

namespace {

// A card: a group named by its caption (or by an accessible name given to it).
class CardAccessible : public QAccessibleWidget {
 public:
  explicit CardAccessible(QWidget* card) : QAccessibleWidget(card, QAccessible::Grouping) {}

  QString text(QAccessible::Text t) const override {
    const auto* card = static_cast<const CardView*>(widget());
    if (t == QAccessible::Name && card->accessibleName().isEmpty()) {
      return card->caption();
    }
    return QAccessibleWidget::text(t);
  }
};

// The progress bar counts in fractions of a percent; a screen reader hears the percentage.
class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ProgressAccessible(QWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) {
      return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) {
      return QStringLiteral("%1%").arg(qRound(percent()));
    }
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return percent(); }
  void setCurrentValue(const QVariant&) override {}  // only the running tool moves the bar
  QVariant maximumValue() const override { return 100.0; }
  QVariant minimumValue() const override { return 0.0; }
  QVariant minimumStepSize() const override { return 0.0; }

 private:
  double percent() const {
    const auto* bar = static_cast<const QProgressBar*>(widget());
    const int span = bar->maximum() - bar->minimum();
    return span > 0 ? 100.0 * (bar->value() - bar->minimum()) / span : 0.0;
  }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (!object || !object->isWidgetType()) {
    return nullptr;
  }
  auto* widget = static_cast<QWidget*>(object);
  if (className == QLatin1String("SegmentedControl")) {
    return new QAccessibleWidget(widget, QAccessible::Grouping);
  }
  if (className == QLatin1String("CardView")) {
    return new CardAccessible(widget);
  }
  if (className == QLatin1String("QProgressBar")) {
    return new ProgressAccessible(widget);
  }
  return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}
