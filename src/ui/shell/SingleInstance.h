#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace parlune {

// One desktop application per user session. The first process holds a lock file and listens on a
// local socket beside it (in $XDG_RUNTIME_DIR/parlune, private to the user); a later process finds
// the lock taken, hands its arguments (URLs, or none for a re-open) to the running one and exits.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // The folder of the lock and the socket: $XDG_RUNTIME_DIR/parlune, else a per-user folder in
    // the temporary folder.
    static QString defaultFolder();

    // Takes the lock when no other process holds it; listen() then serves later launches. None when another process holds it (`heldByAnother` set) or when the folder is
    // unusable (a log line; the application then runs without the check).
    static std::unique_ptr<SingleInstance> claim(const QString& folder, bool& heldByAnother);

    // Sends the arguments to the process that holds the lock and waits (bounded) for its receipt.
    // Needs a QCoreApplication. False, with a log line, when it could not be delivered.
    static bool forward(const QString& folder, const QStringList& arguments);

    ~SingleInstance() override;

    // Starts serving later launches (needs the QCoreApplication); false, with a log line, when the
    // socket cannot be made.
    bool listen();

signals:
    // Arguments of a later launch; empty for a plain re-open.
    void argumentsReceived(const QStringList& arguments);

private:
    SingleInstance(int lockFd, QString socketPath);
    void serve(class QLocalSocket* connection);

    int lockFd_;
    QString socketPath_;
    QLocalServer server_;
};

}  // namespace parlune
