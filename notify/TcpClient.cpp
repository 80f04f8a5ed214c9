#include "notify/TcpClient.h"

#include <algorithm>
#include <memory>

namespace {

struct AddressListFree {
    void operator()(ADDRINFOW* list) const noexcept { ::FreeAddrInfoW(list); }
};
// The addresses a host name resolved to, freed with the owner.
using AddressList = std::unique_ptr<ADDRINFOW, AddressListFree>;

// Larger writes are handed to the socket in pieces of this size.
constexpr std::size_t kLargestSend = 64 * 1024;

}  // namespace

WinsockSession::WinsockSession() noexcept {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSession::~WinsockSession() {
    if (started_) ::WSACleanup();
}

TcpClient::~TcpClient() { Close(); }

void TcpClient::Open() {
    Close();
    if (!winsock_.Started()) {
        Fail(WSANOTINITIALISED);
        return;
    }
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const int resolved = ::GetAddrInfoW(host_.c_str(), port_.c_str(), &hints, &found);
    const AddressList addresses(found);
    if (resolved != 0 || !addresses) {
        Fail(resolved != 0 ? resolved : WSAHOST_NOT_FOUND);
        return;
    }
    // A name such as "localhost" may stand for an IPv6 and an IPv4 address; the listener
    // may be on either, so each is tried in turn.
    int lastError = WSAHOST_NOT_FOUND;
    for (const ADDRINFOW* address = addresses.get(); address; address = address->ai_next) {
        UniqueSocket candidate(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
        if (!candidate) {
            lastError = ::WSAGetLastError();
            continue;
        }
        if (::connect(candidate.get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) == SOCKET_ERROR) {
            lastError = ::WSAGetLastError();
            continue;
        }
        socket_ = std::move(candidate);
        if (onConnect_) onConnect_();
        return;
    }
    Fail(lastError);
}

bool TcpClient::SendText(const std::string& bytes) {
    if (!socket_) {
        Fail(WSAENOTCONN);
        return false;
    }
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const int chunk = static_cast<int>(std::min(bytes.size() - offset, kLargestSend));
        const int sent = ::send(socket_.get(), bytes.data() + offset, chunk, 0);
        if (sent <= 0) {
            Fail(sent == SOCKET_ERROR ? ::WSAGetLastError() : WSAECONNABORTED);
            return false;
        }
        offset += static_cast<std::size_t>(sent);
    }
    return true;
}

void TcpClient::Close() {
    if (!socket_) return;
    ::shutdown(socket_.get(), SD_BOTH);
    socket_.reset();
}

void TcpClient::Fail(int error) {
    if (onError_) onError_(error);
}
