#include "notify/SSTP.h"

#include "common/TextCodec.h"

namespace {

// The window class of the desktop companion's main window.
constexpr wchar_t kCompanionWindowClass[] = L"Tkeroform";

}  // namespace

std::vector<std::wstring> SstpRequestLines(const std::wstring& scriptLine, const std::wstring& sender) {
    return {L"SEND SSTP/1.1", scriptLine, L"Charset: Shift_JIS", L"Sender: " + sender, L""};
}

std::string EncodeSstpRequest(const std::wstring& scriptLine, const std::wstring& sender, bool* lossy) {
    return JoinLinesCrLf(SstpRequestLines(scriptLine, sender), lossy);
}

TSSTP::TSSTP()
    : host_(L"localhost"), sender_(L"Tamsel"), version_(L"OsterlanProject_SSTP_UNIT Version 1.01.60") {
    FSocket.SetOnConnect([this] { FSocketConnect(); });
    FSocket.SetOnError([this](int error) { FSocketError(error); });
    SetPort(kDefaultPort);
    // The client starts closed; it learns where to connect now and again before each message.
    FSocket.SetHost(host_);
    FSocket.SetPort(std::to_wstring(port_));
}

TSSTP::~TSSTP() {
    if (FSocket.Active()) FSocket.Close();
}

void TSSTP::SetPort(std::uint16_t port) { port_ = port > kHighestPort ? kDefaultPort : port; }

bool TSSTP::ListenerRunning() const { return ::FindWindowW(kCompanionWindowClass, nullptr) != nullptr; }

void TSSTP::SendScript(const std::wstring& script) {
    if (!ListenerRunning()) return;
    try {
        script_ = script;
        FSocket.SetPort(std::to_wstring(port_));
        FSocket.SetHost(host_);
        FSocket.Close();
        FSocket.Open();
    } catch (...) {
        // A message to the companion is never worth a failure of the caller.
    }
    // Whatever happened, the message is no longer on its way.
    FSocket.Close();
    script_.clear();
}

void TSSTP::FSocketConnect() {
    // One write per line; a refused write ends the request where it stands.
    for (const std::wstring& line : SstpRequestLines(script_, sender_)) {
        if (!FSocket.SendText(JoinLinesCrLf({line}))) break;
    }
    FSocket.Close();
    script_.clear();
}

void TSSTP::FSocketError(int /*error*/) {}
