#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <string>

class QLocalServer;

// How a later start reaches the running instance: a local socket beside the lock file, in the
// same private folder. The first instance listens from the moment it holds the lock, before
// its window exists; a later start connects, says "show" and ends.
namespace InstanceChannel {

constexpr const char* kSocketName = "MIRD-01234567-B10D-11D3-BC36-006067709674.sock";

// Listens on the socket in `folder` for later starts. Only the holder of the lock calls it, so
// a socket file left by an instance that died can be replaced. The listening descriptor, or -1.
int Listen(const std::string& folder);

// Asks the instance that holds the lock to bring its window back. The holder may have taken
// the lock a moment ago and not be listening yet, or be too busy to take connections, so a
// refused connection is tried again until `patience` has passed; nothing here blocks beyond
// it. False when no instance took the request.
bool AskToShow(const std::string& folder, std::chrono::milliseconds patience);

} // namespace InstanceChannel

// The running instance's side: turns the requests of later starts into showRequested(). A
// connection must bring its line within kLineDeadline, and at most kMaxOpen are kept (the
// oldest goes first), so that stuck or idle clients can neither use up the descriptors nor
// keep a real request out.
class ShowRequests : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLineDeadline{1000};
    static constexpr int kMaxOpen = 8;

    explicit ShowRequests(QObject* parent = nullptr);

    // Takes over a descriptor from InstanceChannel::Listen. False when it cannot. When the
    // server stops listening (a failed accept closes it), listenAgain gives a new descriptor.
    bool Adopt(int listeningDescriptor, std::function<int()> listenAgain = {});

    int OpenConnections() const;

signals:
    void showRequested();

private:
    void Accept();
    void ListenAgainIfClosed();
    QLocalServer* server;
    std::function<int()> listenAgain;
};
