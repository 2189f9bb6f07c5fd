#include "platform/Desktop/InstanceServer.hpp"

#include "platform/InstanceMessage.hpp"
#include "platform/Log.hpp"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Platform {

namespace {

// Whether a process still listens at the socket file: a connection is taken and let go at once.
bool someoneListens(std::filesystem::path const& socket)
{
    int const fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket.c_str(), std::min(socket.native().size(), sizeof address.sun_path - 1));
    bool const answered = ::connect(fd, reinterpret_cast<sockaddr const*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

std::optional<uid_t> peerUser(QLocalSocket const& socket)
{
    ucred peer {};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return std::nullopt;
    return peer.uid;
}

}

InstanceServer::InstanceServer(Receiver receiver, QObject* parent)
    : InstanceServer(std::move(receiver), Limits(), ::geteuid(), parent)
{
}

InstanceServer::InstanceServer(Receiver receiver, Limits limits, uid_t allowedUser, QObject* parent)
    : QObject(parent)
    , m_receiver(std::move(receiver))
    , m_limits(limits)
    , m_allowedUser(allowedUser)
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer()
{
    // The sockets are the server's children; their signals must not reach a half-destroyed object.
    for (auto& [socket, client] : m_clients)
        socket->disconnect(this);
    m_server->close();
}

std::optional<std::string> InstanceServer::listen(std::filesystem::path const& socket)
{
    struct stat status { };
    if (::lstat(socket.c_str(), &status) == 0) {
        if (!S_ISSOCK(status.st_mode))
            return "something other than a socket stands at " + socket.string();
        if (someoneListens(socket))
            return "another process listens at " + socket.string();
        if (::unlink(socket.c_str()) != 0 && errno != ENOENT)
            return "cannot remove the old socket " + socket.string() + ": " + std::strerror(errno);
    }
    if (!m_server->listen(QString::fromStdString(socket.string())))
        return "cannot listen at " + socket.string() + ": " + m_server->errorString().toStdString();
    return std::nullopt;
}

void InstanceServer::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto const user = peerUser(*socket);
        if (!user || *user != m_allowedUser) {
            Log::line("url: refused a connection from " + (user ? "user " + std::to_string(*user) : std::string("an unknown user")));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (clientCount() >= m_limits.maxClients) {
            Log::line("url: refused a connection, " + std::to_string(m_limits.maxClients) + " are being served");
            socket->write("refused: busy\n");
            socket->flush();
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt reads ahead no more than a message may hold, however much the client sends.
        socket->setReadBufferSize(static_cast<qint64>(InstanceMessage::maxBytes) + 1);
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, this, [this, socket] {
            Log::line("url: dropped a connection that sent no whole message in time");
            drop(socket);
        });
        m_clients.emplace(socket, Client { {}, deadline });
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QObject::connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        deadline->start(m_limits.readDeadline);
        // Bytes may have come with the connection.
        read(socket);
    }
}

void InstanceServer::read(QLocalSocket* socket)
{
    auto found = m_clients.find(socket);
    if (found == m_clients.end())
        return;
    auto& received = found->second.received;
    auto const room = static_cast<qint64>(InstanceMessage::maxBytes + 1 - received.size());
    auto const bytes = socket->read(room);
    received.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    auto decoded = InstanceMessage::decode(received);
    if (decoded.problem == InstanceMessage::Problem::incomplete)
        return;
    if (decoded.problem) {
        Log::line("url: refused a message: " + std::string(InstanceMessage::describe(*decoded.problem)));
        finish(socket, InstanceMessage::refusal(*decoded.problem));
        return;
    }
    finish(socket, InstanceMessage::accepted);
    // After this event, so the receiver never runs inside the socket's own signal.
    QMetaObject::invokeMethod(
        this, [this, urls = std::move(decoded.urls)] { m_receiver(urls); }, Qt::QueuedConnection);
}

void InstanceServer::finish(QLocalSocket* socket, std::string_view answer)
{
    auto found = m_clients.find(socket);
    if (found == m_clients.end())
        return;
    // Nothing more is read from it; the deadline still ends it should the answer never leave.
    socket->disconnect(this);
    QObject::connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
    socket->write(answer.data(), static_cast<qint64>(answer.size()));
    socket->disconnectFromServer();
}

void InstanceServer::drop(QLocalSocket* socket)
{
    auto found = m_clients.find(socket);
    if (found == m_clients.end())
        return;
    m_clients.erase(found);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

}
