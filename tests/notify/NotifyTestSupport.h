#pragma once

// Stand-ins for the desktop companion: its main window (class "Tkeroform") and a listener
// on the loopback address that takes one connection and keeps what arrives.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "common/Handles.h"
#include "notify/TcpClient.h"

// A window of the companion's class; top-level, or a child of `parent` when one is given.
class CompanionWindow {
public:
    explicit CompanionWindow(HWND parent = nullptr);
    ~CompanionWindow();
    CompanionWindow(const CompanionWindow&) = delete;
    CompanionWindow& operator=(const CompanionWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// A plain top-level window of another class, to hold child windows.
class PlainWindow {
public:
    explicit PlainWindow(const wchar_t* caption);
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// What one listener saw.
struct ListenerResult {
    bool accepted = false;    // a connection came
    bool peerClosed = false;  // its peer closed it (and not the read deadline)
    std::string bytes;        // everything that arrived
};

// Listens on 127.0.0.1:`port` from a thread of its own, accepts one connection and reads
// until the peer closes it or the read deadline passes.
class LoopbackListener {
public:
    explicit LoopbackListener(std::uint16_t port);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // The socket is bound and listening.
    bool Listening() const { return listening_; }
    // Waits at most `acceptWithinMs` for a connection, then, when one came, until its peer
    // closes it (at most the read deadline). The listener is finished afterwards.
    ListenerResult Wait(DWORD acceptWithinMs = 5000);

private:
    void Run();

    WinsockSession winsock_;
    UniqueSocket socket_;
    UniqueKernelHandle accepted_;
    std::atomic<bool> stop_{false};
    bool listening_ = false;
    ListenerResult result_;
    std::thread thread_;
};

// Holds 127.0.0.1:`port` bound without listening, so that a connection to it is refused.
class ClosedPort {
public:
    explicit ClosedPort(std::uint16_t port);
    bool Held() const { return socket_.valid(); }

private:
    WinsockSession winsock_;
    UniqueSocket socket_;
};

// The request as the companion must receive it, for a script line given in code page 932.
std::string ExpectedRequest(const std::string& scriptLineBytes);
