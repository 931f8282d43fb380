#pragma once
// One window per user: a second launch (a folder or file opened from the file
// manager, or typed on the command line) hands its arguments to the window already
// running over a local socket and quits; the running window then opens them as if
// they had been given at its own start, after asking about unsaved changes.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace morvex::app {

class SingleInstance : public QObject {
  Q_OBJECT
public:
  // `name` names the socket; one per user ("morvex-<user>") unless tests choose one.
  explicit SingleInstance(QString name, QObject* parent = nullptr);
  ~SingleInstance() override;

  static QString defaultName();

  // Sends `arguments` (made absolute) to a running instance. True when one took them.
  bool handOver(const QStringList& arguments, int timeoutMs = 2000);
  // Becomes the running instance: later launches reach argumentsReceived(). A socket
  // left behind by a killed run is replaced.
  bool listen();

signals:
  void argumentsReceived(const QStringList& arguments);

private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace morvex::app
