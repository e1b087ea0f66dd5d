// What a desktop application does beyond its own buttons: an OS image given on the command line
// or dropped on the window, and the question before it lets go of an installation that runs.

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>

#include "AppDelegate.h"
#include "Translations.h"

namespace {

// The first local file among dropped URLs, or the empty string.
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) {
    return {};
  }
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      return url.toLocalFile();
    }
  }
  return {};
}

}  // namespace

QString AppDelegate::firmwareArgument(const QStringList& arguments) {
  // The program's own options begin with a dash; "--" ends them, so any file name can follow.
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (options && argument == QLatin1String("--")) {
      options = false;
    } else if (!options || !argument.startsWith(QLatin1Char('-'))) {
      return argument;
    }
  }
  return {};
}

void AppDelegate::openFirmwareFile(const QString& pathOrUrl) {
  if (currentTask_ || pathOrUrl.isEmpty()) {
    return;
  }
  // A desktop may hand over a file: URL instead of a path. The log names the file by its full
  // path; the link itself is not resolved, as for a file chosen in the panel.
  const QUrl url(pathOrUrl);
  const QString path = url.isLocalFile() ? url.toLocalFile() : pathOrUrl;
  selectFirmwareAtPath(QFileInfo(path).absoluteFilePath());
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_.get()) {
    return QObject::eventFilter(watched, event);
  }
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      // While a run goes on the image cannot change, as the buttons say: the drop is refused.
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!currentTask_ && !DroppedFile(drag->mimeData()).isEmpty()) {
        drag->acceptProposedAction();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = DroppedFile(drop->mimeData());
      if (currentTask_ || path.isEmpty()) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      // The file is checked once the drop is over, so an alert for a refused file does not keep
      // the application the file came from waiting.
      QTimer::singleShot(0, this, [this, path] { openFirmwareFile(path); });
      return true;
    }
    case QEvent::Close:
      if (!mayQuit()) {
        event->ignore();
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool AppDelegate::mayQuit() {
  // Only an installation is worth the question: a device check writes nothing.
  if (currentMode_ != RunMode::Install) {
    return true;
  }
  return dialogs_->confirmAgainstDefault(Dialogs::Style::Warning, L("quit.title"), L("quit.text"),
                                         L("quit.keep"), L("quit.quit"));
}

void AppDelegate::requestQuit() {
  if (mayQuit()) {
    QCoreApplication::quit();
  }
}

void AppDelegate::commitData(QSessionManager& manager) {
  // A logout is held back only when the user can be asked, and only when the user says so.
  if (currentMode_ != RunMode::Install || !manager.allowsInteraction()) {
    return;
  }
  const bool quit = mayQuit();
  manager.release();
  if (!quit) {
    manager.cancel();
  }
}
