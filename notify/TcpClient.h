#pragma once

// The notifier's TCP client: Winsock started for as long as the client lives, one blocking
// stream socket at a time, and a connect and an error event as the caller binds them.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <functional>
#include <string>

#include "common/Handles.h"

struct SocketTraits {
    using handle_type = SOCKET;
    static handle_type invalid() noexcept { return INVALID_SOCKET; }
    static void close(handle_type s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueHandleT<SocketTraits>;

// Winsock 2.2 started by the constructor and cleaned up by the destructor when it started.
class WinsockSession {
public:
    WinsockSession() noexcept;
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    bool Started() const noexcept { return started_; }

private:
    bool started_ = false;
};

class TcpClient {
public:
    using ConnectEvent = std::function<void()>;
    // Told the Winsock error code of a failing call; the call itself then gives up quietly.
    using ErrorEvent = std::function<void(int error)>;

    TcpClient() = default;
    // Closes the connection when one is open.
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void SetHost(const std::wstring& host) { host_ = host; }
    // The remote port as decimal text.
    void SetPort(const std::wstring& port) { port_ = port; }
    const std::wstring& Host() const { return host_; }
    const std::wstring& Port() const { return port_; }
    void SetOnConnect(ConnectEvent handler) { onConnect_ = std::move(handler); }
    void SetOnError(ErrorEvent handler) { onError_ = std::move(handler); }

    bool Active() const { return socket_.valid(); }

    // Closes any connection, resolves the host and connects, blocking, to the first of its
    // addresses that accepts; then the connect event follows. A failure goes to the error
    // event and leaves the client closed.
    void Open();
    // Writes every byte; false, after the error event, when the connection refuses them.
    bool SendText(const std::string& bytes);
    // Shuts the connection down in both directions and closes the socket.
    void Close();

private:
    void Fail(int error);

    WinsockSession winsock_;
    UniqueSocket socket_;
    std::wstring host_;
    std::wstring port_;
    ConnectEvent onConnect_;
    ErrorEvent onError_;
};
