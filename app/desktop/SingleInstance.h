#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One Veltrin per user session: the first start listens on a local socket in the user's runtime
// folder; a later start hands its command line's OS image (or nothing) to it and ends, so the
// running window comes to the front instead of a second application that finds the sampler busy.
// Nothing is left behind that could stop a start: a socket a crash left is replaced.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QObject* parent = nullptr);

  // <runtime folder>/veltrin.socket: $XDG_RUNTIME_DIR, else Qt's runtime location for the user.
  static QString socketPath();
  // Hands `image` (a path or a file: URL, or empty) to the Veltrin that runs in this session.
  // True when one took it.
  static bool handOver(const QString& image);
  // Listens for later starts. False when it cannot: every start is then an application of its
  // own, as before.
  bool listen();

 signals:
  // A later start asked for the window, with the image it was given (empty for none).
  void startedAgain(const QString& image);

 private:
  void answer(QLocalSocket* socket);

  QLocalServer server_;
};
