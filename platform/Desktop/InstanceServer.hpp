#pragma once

#include <QObject>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace Platform {

// The running application's side of the hand-over: listens on the instance socket and delivers the
// URLs of each sound message to its receiver on the main thread. Only the allowed user's processes
// are heard; a client that says nothing, or too much, is dropped within the bounds, and never
// more than a few are served at once.
class InstanceServer final : public QObject {
public:
    using Receiver = std::function<void(std::vector<std::string> urls)>;
    struct Limits {
        std::chrono::milliseconds readDeadline { 2000 };
        int maxClients { 8 };
    };

    // Hears only the user the process runs as, within the usual limits.
    explicit InstanceServer(Receiver receiver, QObject* parent = nullptr);
    InstanceServer(Receiver receiver, Limits limits, uid_t allowedUser, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Listens at the path; a socket file left by a run that crashed is replaced. Why not, when it
    // cannot (something else stands there, or another process listens there).
    std::optional<std::string> listen(std::filesystem::path const& socket);
    // Connections being served now.
    int clientCount() const { return static_cast<int>(m_clients.size()); }

private:
    struct Client {
        std::string received;
        QTimer* deadline { nullptr };
    };

    void accept();
    void read(QLocalSocket* socket);
    // Answers and lets the connection go once the answer is out.
    void finish(QLocalSocket* socket, std::string_view answer);
    void drop(QLocalSocket* socket);

    Receiver m_receiver;
    Limits m_limits;
    uid_t m_allowedUser;
    QLocalServer* m_server;
    std::map<QLocalSocket*, Client> m_clients;
};

}
