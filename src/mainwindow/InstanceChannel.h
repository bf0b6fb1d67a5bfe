#pragma once

#include <QObject>
#include <chrono>
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
// the lock a moment ago and not be listening yet, so a refused connection is tried again until
// `patience` has passed. False when no instance took the request.
bool AskToShow(const std::string& folder, std::chrono::milliseconds patience);

} // namespace InstanceChannel

// The running instance's side: turns the requests of later starts into showRequested().
class ShowRequests : public QObject {
    Q_OBJECT
public:
    explicit ShowRequests(QObject* parent = nullptr);

    // Takes over a descriptor from InstanceChannel::Listen. False when it cannot.
    bool Adopt(int listeningDescriptor);

signals:
    void showRequested();

private:
    void Accept();
    QLocalServer* server;
};
