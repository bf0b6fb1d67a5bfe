#include "mainwindow/InstanceChannel.h"

#include "files/FileDescriptor.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <cerrno>
#include <cstring>
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

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
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

bool InstanceChannel::AskToShow(const std::string& folder, std::chrono::milliseconds patience) {
    sockaddr_un address{};
    if (!SocketAddress(folder, address)) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        FileDescriptor connection(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (connection.get() < 0) {
            return false;
        }
        if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&address),
                    sizeof(address)) == 0) {
            return SendAll(connection.get(), kShowRequest, sizeof(kShowRequest) - 1);
        }
        const bool notYetListening = errno == ENOENT || errno == ECONNREFUSED;
        if (!notYetListening || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // The holder took the lock but has not bound its socket yet: a matter of moments.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ShowRequests::ShowRequests(QObject* parent) : QObject(parent), server(new QLocalServer(this)) {
    connect(server, &QLocalServer::newConnection, this, &ShowRequests::Accept);
}

bool ShowRequests::Adopt(int listeningDescriptor) {
    return listeningDescriptor >= 0 && server->listen(listeningDescriptor);
}

void ShowRequests::Accept() {
    while (QLocalSocket* connection = server->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
            if (connection->canReadLine()) {
                const QByteArray line = connection->readLine(kLongestRequest);
                connection->disconnectFromServer();
                if (line == kShowRequest) {
                    qCDebug(lcInstance) << "a later start asks for the window";
                    emit showRequested();
                }
            } else if (connection->bytesAvailable() > kLongestRequest) {
                connection->disconnectFromServer();
            }
        });
    }
}
