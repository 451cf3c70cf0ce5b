#include "ui/shell/SingleInstance.h"

#include "core/log/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace parlune {
namespace {

constexpr qint64 maximumMessage = 64 * 1024;
constexpr int forwardTimeoutMs = 5000;

QString lockPath(const QString& folder) { return folder + "/instance.lock"; }
QString socketPath(const QString& folder) { return folder + "/instance.socket"; }

}  // namespace

QString SingleInstance::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) return runtime + "/parlune";
    return QDir::tempPath() + "/parlune-" + QString::number(::getuid());
}

std::unique_ptr<SingleInstance> SingleInstance::claim(const QString& folder, bool& heldByAnother) {
    heldByAnother = false;
    const QByteArray folderPath = QFile::encodeName(folder);
    if (::mkdir(folderPath.constData(), 0700) != 0 && errno != EEXIST) {
        log::line("⚠️ Cannot create " + folder.toStdString() + ": " + std::strerror(errno));
        return nullptr;
    }
    struct stat info {};
    if (::lstat(folderPath.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        log::line("⚠️ " + folder.toStdString() + " is not a folder of this user; single-instance check skipped");
        return nullptr;
    }
    const int fd = ::open(QFile::encodeName(lockPath(folder)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        log::line("⚠️ Cannot open " + lockPath(folder).toStdString() + ": " + std::strerror(errno));
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldByAnother = errno == EWOULDBLOCK;
        if (!heldByAnother) log::line("⚠️ Cannot lock " + lockPath(folder).toStdString() + ": " + std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(fd, socketPath(folder)));
}

SingleInstance::SingleInstance(int lockFd, QString path) : lockFd_(lockFd), socketPath_(std::move(path)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (auto* connection = server_.nextPendingConnection()) serve(connection);
    });
}

SingleInstance::~SingleInstance() {
    server_.close();
    ::close(lockFd_);  // releases the lock
}

bool SingleInstance::listen() {
    // The lock is ours, so a socket file left here belongs to a process that is gone.
    QLocalServer::removeServer(socketPath_);
    if (!server_.listen(socketPath_)) {
        log::line("⚠️ Cannot listen on " + socketPath_.toStdString() + ": " + server_.errorString().toStdString());
        return false;
    }
    return true;
}

void SingleInstance::serve(QLocalSocket* connection) {
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
        if (!connection->canReadLine()) {
            if (connection->bytesAvailable() > maximumMessage) connection->abort();
            return;
        }
        const auto document = QJsonDocument::fromJson(connection->readLine(maximumMessage));
        const auto arguments = document.object().value("arguments");
        if (!document.isObject() || !arguments.isArray()) {
            log::line("⚠️ Ignored a malformed message from another parlune process");
            connection->abort();
            return;
        }
        QStringList list;
        for (const auto& argument : arguments.toArray()) list << argument.toString();
        connection->write("ok\n");
        connection->disconnectFromServer();
        emit argumentsReceived(list);
    });
}

bool SingleInstance::forward(const QString& folder, const QStringList& arguments) {
    const QDeadlineTimer deadline(forwardTimeoutMs);
    QLocalSocket socket;
    // The running process may have taken the lock a moment ago and not yet be listening.
    for (;;) {
        socket.connectToServer(socketPath(folder));
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
        if (deadline.hasExpired()) {
            log::line("⚠️ Parlune is running but does not answer on " + socketPath(folder).toStdString());
            return false;
        }
        QThread::msleep(50);
    }
    QJsonObject message{{"arguments", QJsonArray::fromStringList(arguments)}};
    socket.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + "\n");
    socket.flush();
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            log::line("⚠️ Parlune did not confirm the forwarded request");
            return false;
        }
    }
    return socket.readLine().trimmed() == "ok";
}

}  // namespace parlune
