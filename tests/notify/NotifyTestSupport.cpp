#include "tests/notify/NotifyTestSupport.h"

namespace {

// How long a listener keeps reading from a connection that is not closed.
constexpr DWORD kReadDeadlineMs = 5000;
// How long a listener waits for a connection nobody waits for any more.
constexpr DWORD kAcceptDeadlineMs = 15000;
// Granularity of the listener's waits, so that it notices when it is told to stop.
constexpr long kSliceMicroseconds = 20000;

const wchar_t* RegisteredClass(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);  // a second registration fails harmlessly
    return name;
}

// Waits until the socket is readable or the slice passes; true when readable.
bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval slice{0, kSliceMicroseconds};
    return ::select(0, &set, nullptr, nullptr, &slice) > 0;
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

CompanionWindow::CompanionWindow(HWND parent) {
    window_ = ::CreateWindowExW(0, RegisteredClass(L"Tkeroform"), L"companion",
                                parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, parent, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
}

CompanionWindow::~CompanionWindow() {
    if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

PlainWindow::PlainWindow(const wchar_t* caption) {
    window_ = ::CreateWindowExW(0, RegisteredClass(L"TNotifyTestHost"), caption, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

PlainWindow::~PlainWindow() {
    if (window_) ::DestroyWindow(window_);
}

LoopbackListener::LoopbackListener(std::uint16_t port)
    : accepted_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!winsock_.Started() || !accepted_) return;
    socket_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_) return;
    const sockaddr_in address = Loopback(port);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) return;
    if (::listen(socket_.get(), SOMAXCONN) == SOCKET_ERROR) return;
    listening_ = true;
    thread_ = std::thread([this] { Run(); });
}

LoopbackListener::~LoopbackListener() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

ListenerResult LoopbackListener::Wait(DWORD acceptWithinMs) {
    if (!thread_.joinable()) return result_;
    if (::WaitForSingleObject(accepted_.get(), acceptWithinMs) != WAIT_OBJECT_0) stop_ = true;
    thread_.join();
    return result_;
}

void LoopbackListener::Run() {
    const ULONGLONG acceptDeadline = ::GetTickCount64() + kAcceptDeadlineMs;
    while (!stop_ && ::GetTickCount64() < acceptDeadline) {
        if (!Readable(socket_.get())) continue;
        UniqueSocket connection(::accept(socket_.get(), nullptr, nullptr));
        if (!connection) return;
        result_.accepted = true;
        ::SetEvent(accepted_.get());
        const ULONGLONG readDeadline = ::GetTickCount64() + kReadDeadlineMs;
        char buffer[512];
        while (::GetTickCount64() < readDeadline) {
            if (!Readable(connection.get())) continue;
            const int got = ::recv(connection.get(), buffer, sizeof buffer, 0);
            if (got == 0) {
                result_.peerClosed = true;
                return;
            }
            if (got < 0) return;
            result_.bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return;
    }
}

ClosedPort::ClosedPort(std::uint16_t port) {
    if (!winsock_.Started()) return;
    socket_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_) return;
    const sockaddr_in address = Loopback(port);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
        socket_.reset();
}

std::string ExpectedRequest(const std::string& scriptLineBytes) {
    return "SEND SSTP/1.1\r\n" + scriptLineBytes + "\r\nCharset: Shift_JIS\r\nSender: Tamsel\r\n\r\n";
}
