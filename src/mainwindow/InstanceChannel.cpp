#include "mainwindow/InstanceChannel.h"

#include "files/FileDescriptor.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcInstance, "pathmere.instance", QtInfoMsg)

constexpr char kShowRequest[] = "show\n";
// A request is one short line; anything longer is not one of ours.
constexpr qint64 kLongestRequest = 64;

bool SocketAddress(const std::string& folder, sockaddr_un& address) {
    const std::string path = folder + "/" + InstanceChannel::kSocketName;
    if (folder.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

int InstanceChannel::Listen(const std::string& folder) {
    sockaddr_un address{};
    if (!SocketAddress(folder, address)) {
        return -1;
    }
    FileDescriptor listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.get() < 0) {
        return -1;
    }
    unlink(address.sun_path); // left by an instance that died; the lock says none runs
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener.get(), 32) != 0) {
        qCDebug(lcInstance) << "cannot listen for later starts:" << std::strerror(errno);
        return -1;
    }
    return listener.release();
}

namespace {

// Sends the request on a non-blocking connection, waiting for room until the deadline.
bool SendBefore(int fd, std::chrono::steady_clock::time_point deadline) {
    const char* data = kShowRequest;
    std::size_t size = sizeof(kShowRequest) - 1;
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd writable{fd, POLLOUT, 0};
        if (sent == 0 || errno != EAGAIN || left.count() <= 0 ||
            poll(&writable, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
    }
    return true;
}

// Closes a connection at once; it no longer counts as open.
void Drop(QLocalSocket* connection) {
    connection->setParent(nullptr);
    connection->abort();
    connection->deleteLater();
}

} // namespace

bool InstanceChannel::AskToShow(const std::string& folder, std::chrono::milliseconds patience) {
    sockaddr_un address{};
    if (!SocketAddress(folder, address)) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        // Non-blocking: a connect to a holder that does not accept (stopped, busy) would
        // otherwise wait in the kernel for as long as its listen queue stays full.
        FileDescriptor connection(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (connection.get() < 0) {
            return false;
        }
        if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&address),
                    sizeof(address)) == 0) {
            return SendBefore(connection.get(), deadline);
        }
        // Not listening yet (the holder took the lock a moment ago), or its queue is full.
        const bool worthRetrying = errno == ENOENT || errno == ECONNREFUSED || errno == EAGAIN;
        if (!worthRetrying || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ShowRequests::ShowRequests(QObject* parent) : QObject(parent), server(new QLocalServer(this)) {
    connect(server, &QLocalServer::newConnection, this, &ShowRequests::Accept);
    // A failed accept (out of descriptors) closes the server and removes its socket file, and
    // nothing signals it: look now and then, and listen again.
    auto* watchdog = new QTimer(this);
    watchdog->setObjectName(QStringLiteral("tmrListenAgain"));
    connect(watchdog, &QTimer::timeout, this, &ShowRequests::ListenAgainIfClosed);
    watchdog->start(std::chrono::milliseconds(1000));
}

bool ShowRequests::Adopt(int listeningDescriptor, std::function<int()> again) {
    listenAgain = std::move(again);
    return listeningDescriptor >= 0 && server->listen(listeningDescriptor);
}

void ShowRequests::ListenAgainIfClosed() {
    if (server->isListening() || !listenAgain) {
        return;
    }
    const int descriptor = listenAgain();
    qCDebug(lcInstance) << "the channel was closed; listening again:" << (descriptor >= 0);
    if (descriptor >= 0 && !server->listen(descriptor)) {
        close(descriptor);
    }
}

int ShowRequests::OpenConnections() const {
    return static_cast<int>(
        findChildren<QLocalSocket*>(QString(), Qt::FindDirectChildrenOnly).size());
}

void ShowRequests::Accept() {
    while (QLocalSocket* connection = server->nextPendingConnection()) {
        connection->setParent(this); // the server's children are its pending connections
        const auto open = findChildren<QLocalSocket*>(QString(), Qt::FindDirectChildrenOnly);
        if (open.size() > kMaxOpen) {
            Drop(open.front()); // the oldest: a real request brings its line at once
        }
        const auto drop = [connection] { Drop(connection); };
        QTimer::singleShot(kLineDeadline, connection, drop);
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this, [this, connection, drop] {
            if (connection->canReadLine()) {
                const QByteArray line = connection->readLine(kLongestRequest);
                drop();
                if (line == kShowRequest) {
                    qCDebug(lcInstance) << "a later start asks for the window";
                    emit showRequested();
                }
            } else if (connection->bytesAvailable() > kLongestRequest) {
                drop();
            }
        });
    }
}
