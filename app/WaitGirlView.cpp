#include "WaitGirlView.h"

#include <QTimer>

QRgb WaitGirlLevelColor(int) { return qRgb(0, 0, 0); }

QImage DecodeWaitGirlFrame(const std::uint8_t*) { return {}; }

bool SystemPrefersReducedMotion() { return false; }

WaitGirlView::WaitGirlView(QWidget* parent) : QWidget(parent) {}

WaitGirlView::~WaitGirlView() = default;

void WaitGirlView::startWaiting() {}

void WaitGirlView::stopWaiting() {}

void WaitGirlView::tick() {}

void WaitGirlView::showFrame(int index) { frameIndex_ = index; }

bool WaitGirlView::isAnimating() const { return timer_ != nullptr; }

void WaitGirlView::setReducedMotionQuery(std::function<bool()> query) {
  reducedMotionQuery_ = std::move(query);
}

int WaitGirlView::scaleForBounds(const QRect&) { return 1; }

QRect WaitGirlView::imageRectForBounds(const QRect&) { return {}; }

void WaitGirlView::paintEvent(QPaintEvent*) {}
