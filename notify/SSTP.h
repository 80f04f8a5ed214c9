#pragma once

// The SSTP notifier: sends one SSTP 1.1 "SEND" request per message to the desktop companion
// listening on this machine. Every failure is silent: no companion window, a closed port or
// a broken connection only means that the message is lost.

#include <cstdint>
#include <string>
#include <vector>

#include "notify/TcpClient.h"

// The five lines of the request for one message: the request line, the script line (which
// the caller gives complete with its "Script: " prefix), the charset and sender headers and
// the empty line that ends the request.
std::vector<std::wstring> SstpRequestLines(const std::wstring& scriptLine, const std::wstring& sender);
// The request as it goes over the wire: code page 932, CR LF after every line. `lossy`
// tells whether a character had no equivalent in the code page.
std::string EncodeSstpRequest(const std::wstring& scriptLine, const std::wstring& sender, bool* lossy = nullptr);

class TSSTP {
public:
    static constexpr std::uint16_t kDefaultPort = 9801;
    static constexpr std::uint16_t kHighestPort = 9999;

    TSSTP();
    // Closes the client's connection when one is open.
    ~TSSTP();
    TSSTP(const TSSTP&) = delete;
    TSSTP& operator=(const TSSTP&) = delete;

    std::uint16_t Port() const { return port_; }
    // Ports above 9999 are replaced by 9801.
    void SetPort(std::uint16_t port);
    const std::wstring& Host() const { return host_; }
    const std::wstring& Sender() const { return sender_; }
    // The script of the message on its way; empty between messages.
    const std::wstring& Script() const { return script_; }
    // The component's own version text; informational.
    const std::wstring& Version() const { return version_; }

    // True while a top-level window of the companion's class "Tkeroform" exists. No network
    // traffic is involved.
    bool ListenerRunning() const;

    // Sends one message when the companion is running: connects to Host and Port, writes the
    // request, and closes the connection at once without reading a reply. Nothing is shown
    // and nothing is raised when any step fails.
    void SendScript(const std::wstring& script);

private:
    // The client's connect event: writes the request and closes the connection.
    void FSocketConnect();
    // The client's error event: socket failures are not reported.
    void FSocketError(int error);

    TcpClient FSocket;
    std::uint16_t port_ = kDefaultPort;
    std::wstring host_;
    std::wstring sender_;
    std::wstring script_;
    std::wstring version_;
};
