// The sampler as it comes and goes: the watcher's reports turned into checks and departures.

#include "desktop/TextFormat.h"
#include "desktop/Translations.h"
#include "session/DeviceWatcher.h"
#include "session/Session.h"

namespace {

// Reports closer together than this are one cable bouncing: the first applies at once, the last
// when the cable has settled.
constexpr int kBounceMilliseconds = 500;

}  // namespace

void Session::watchDevice() {
  if (watcher_) {
    return;
  }
  watcher_ = new DeviceWatcher(this);
  bounceTimer_.setSingleShot(true);
  bounceTimer_.setInterval(kBounceMilliseconds);
  connect(&bounceTimer_, &QTimer::timeout, this, &Session::applyPresence);
  connect(watcher_, &DeviceWatcher::reported, this, &Session::watchReported);
  watcher_->start(loaderPath());
}

void Session::watchReported(const OutputLine& line) {
  // Another AKAI product is shown while it is there; no check is run for it.
  if (line.kind == OutputLine::Kind::OtherDevice) {
    otherDevice_ = line;
    emit deviceChanged();
    return;
  }
  if (!line.isSampler()) {
    if (line.kind == OutputLine::Kind::DeviceDisconnected && otherDevice_ &&
        otherDevice_->productId == line.productId && otherDevice_->place == line.place) {
      otherDevice_.reset();
      emit deviceChanged();
    }
    return;
  }
  if (line.kind == OutputLine::Kind::DeviceConnected) {
    presenceReported(true);
  } else if (line.kind == OutputLine::Kind::DeviceDisconnected) {
    presenceReported(false);
  }
}

void Session::presenceReported(bool connected) {
  reportedPresence_ = connected;
  if (!bounceTimer_.isActive()) {
    applyPresence();
    bounceTimer_.start();
  }
}

void Session::applyPresence() {
  // During a run the tool reports a lost sampler itself; what changed applies once it has ended.
  // An image being read keeps its lines together in the log: the check follows them.
  if (busy() || factsPending_ || !reportedPresence_ || reportedPresence_ == appliedPresence_) {
    return;
  }
  appliedPresence_ = reportedPresence_;
  if (*reportedPresence_) {
    checkDevice();
    return;
  }
  logOwnLine(L("log.deviceLeft"));
  setDeviceState(DeviceStateNotConnected);
  // "Device is ready" of the last check no longer holds.
  if (operationKey_ == QLatin1String("op.deviceReady")) {
    setOperation(QStringLiteral("op.ready"), -1);
  }
}
