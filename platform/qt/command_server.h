// Posted commands on Linux: the running kt57d listens on a per-user local socket, and each
// request line that kt57-ctl sends becomes one event for the main window, delivered in its turn
// as a posted message would be. The protocol is in common/control_protocol.h and docs/linux-desktop.md.
#pragma once
#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>

#include "common/control_protocol.h"

class QLocalSocket;

namespace kt57 {

class CommandServer : public QObject {
public:
    using Handler = std::function<void(const ControlRequest&)>;
    // One line of the run state, read between two messages; a `state` request is refused without it.
    using StateReader = std::function<std::string()>;

    explicit CommandServer(Handler handler, StateReader readState = {});
    ~CommandServer() override;

    // Listens on path (owner-only). A stale socket left by an ended kt57d is replaced; one that
    // another running kt57d answers on is left alone. False, with a reason, when not listening.
    bool listen(const std::string& path, std::string& reason);

private:
    void accept();
    void readRequests(QLocalSocket* client);
    void refuseAndDrop(QLocalSocket* client);

    Handler handler_;
    StateReader readState_;
    QLocalServer server_;
    std::string path_;
};

}  // namespace kt57
