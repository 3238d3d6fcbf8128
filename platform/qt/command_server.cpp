#include "platform/qt/command_server.h"

#include <QByteArray>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <string_view>

#include "common/control_socket.h"

namespace kt57 {
namespace {

constexpr int probeMilliseconds = 300;

void reply(QLocalSocket* client, const QByteArray& line) {
    client->write(line);
    client->flush();
}

}  // namespace

CommandServer::CommandServer(Handler handler, StateReader readState)
    : handler_(std::move(handler)), readState_(std::move(readState)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] { accept(); });
}

CommandServer::~CommandServer() {
    if (server_.isListening()) {
        server_.close();  // removes the socket file it created
    }
}

bool CommandServer::listen(const std::string& path, std::string& reason) {
    if (path.empty()) {
        reason = "the socket path does not fit a local socket address";
        return false;
    }
    if (!prepareControlSocketFolder(path, reason)) return false;
    const QString name = QString::fromStdString(path);
    if (QFile::exists(name)) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(probeMilliseconds)) {
            reason = "another kt57d already listens on " + path;
            return false;
        }
        QLocalServer::removeServer(name);  // left behind by a kt57d that did not end cleanly
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(name)) {
        reason = "cannot listen on " + path + ": " + server_.errorString().toStdString();
        return false;
    }
    path_ = path;
    return true;
}

void CommandServer::accept() {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (!peerIsSameUser(static_cast<int>(client->socketDescriptor()))) {
            reply(client, "error refused: not the same user\n");
            client->disconnectFromServer();
            continue;
        }
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
        if (client->bytesAvailable() > 0) readRequests(client);
    }
}

void CommandServer::readRequests(QLocalSocket* client) {
    for (;;) {
        if (!client->canReadLine()) {
            if (client->bytesAvailable() > maxControlRequestLength + 1) refuseAndDrop(client);
            return;
        }
        QByteArray line = client->readLine(maxControlRequestLength + 3);
        if (!line.endsWith('\n')) {
            refuseAndDrop(client);
            return;
        }
        line.chop(1);
        if (line.endsWith('\r')) line.chop(1);
        ControlRequest request;
        const char* refusal = parseControlRequest(std::string_view(line.constData(), static_cast<size_t>(line.size())),
                                                  request);
        if (refusal != nullptr) {
            reply(client, QByteArray("error ") + refusal + "\n");
            continue;
        }
        if (request.action == ControlAction::State) {
            // Answered now, not posted: reading changes nothing, and a busy queue must not delay it.
            reply(client, readState_ ? QByteArray("ok ") + QByteArray::fromStdString(readState_()) + "\n"
                                     : QByteArray("error state is not available\n"));
            continue;
        }
        reply(client, "ok\n");
        // Posted, not sent: the message waits its turn in the event loop, as PostMessage's does.
        QMetaObject::invokeMethod(this, [this, request] { handler_(request); }, Qt::QueuedConnection);
    }
}

// Whatever follows an over-long line cannot be told apart from it, so the connection ends.
void CommandServer::refuseAndDrop(QLocalSocket* client) {
    QObject::disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    reply(client, "error request too long\n");
    client->disconnectFromServer();
}

}  // namespace kt57
