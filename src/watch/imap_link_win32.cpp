// The IMAP link's connection: a non-blocking socket whose every wait is on
// its event and the owner's stop event together, with TLS (tls_win32) on
// top once it is asked for.
#include "watch/imap_link_win32.h"

// After windows.h, which WIN32_LEAN_AND_MEAN keeps from including the old
// winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "core/text.h"
#include "platform/win32_handles.h"
#include "platform/win32_system_dll.h"
#include "watch/tls_win32.h"

namespace vl {
namespace {

template <typename Fn>
Fn Ws2(const char* name) {
    return SystemFunction<Fn>(L"ws2_32.dll", name);
}

// ws2_32 is not imported: only the mail check needs it, and every DLL
// imported is loaded for a preview too. Looked up by each link for itself,
// on whatever thread opens it.
struct WinsockCalls {
    decltype(&::WSAStartup) startup = Ws2<decltype(startup)>("WSAStartup");
    decltype(&::WSACleanup) cleanup = Ws2<decltype(cleanup)>("WSACleanup");
    decltype(&::GetAddrInfoW) getAddrInfo = Ws2<decltype(getAddrInfo)>("GetAddrInfoW");
    decltype(&::FreeAddrInfoW) freeAddrInfo = Ws2<decltype(freeAddrInfo)>("FreeAddrInfoW");
    decltype(&::socket) open = Ws2<decltype(open)>("socket");
    decltype(&::connect) connect = Ws2<decltype(connect)>("connect");
    decltype(&::send) send = Ws2<decltype(send)>("send");
    decltype(&::recv) recv = Ws2<decltype(recv)>("recv");
    decltype(&::closesocket) close = Ws2<decltype(close)>("closesocket");
    decltype(&::WSAEventSelect) eventSelect = Ws2<decltype(eventSelect)>("WSAEventSelect");
    decltype(&::WSAEnumNetworkEvents) events = Ws2<decltype(events)>("WSAEnumNetworkEvents");
    decltype(&::WSAGetLastError) lastError = Ws2<decltype(lastError)>("WSAGetLastError");
    [[nodiscard]] bool Complete() const {
        return startup && cleanup && getAddrInfo && freeAddrInfo && open && connect && send && recv && close &&
               eventSelect && events && lastError;
    }
};

struct SocketCloser {
    decltype(&::closesocket) close = nullptr;
    static SOCKET Invalid() { return INVALID_SOCKET; }
    void operator()(SOCKET s) const { close(s); }
};
using UniqueSocket = UniqueHandle<SOCKET, SocketCloser>;

struct AddressesCloser {
    decltype(&::FreeAddrInfoW) free = nullptr;
    static ADDRINFOW* Invalid() { return nullptr; }
    void operator()(ADDRINFOW* a) const { free(a); }
};
using UniqueAddresses = UniqueHandle<ADDRINFOW*, AddressesCloser>;

// Holds Winsock started for as long as it lives.
struct WinsockUse {
    decltype(&::WSACleanup) cleanup = nullptr;
    WinsockUse() = default;
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    ~WinsockUse() {
        if (cleanup) cleanup();
    }
};

constexpr size_t kChunk = 16384;     // at most this much per receive
constexpr unsigned kCloseMs = 1000;  // for the close_notify

// A name lookup cannot be interrupted, and a slow name server must hold
// neither a stop nor the time limit: it runs on a thread of its own, and
// whichever of the link and the thread lets go last frees what they share.
struct Lookup {
    volatile LONG refs = 2;
    WinsockCalls calls;
    std::wstring host, port;
    ADDRINFOW* found = nullptr;
    int result = WSAHOST_NOT_FOUND;
};

void Release(Lookup* lookup) {
    if (::InterlockedDecrement(&lookup->refs) != 0) return;
    if (lookup->found) lookup->calls.freeAddrInfo(lookup->found);
    delete lookup;
}

DWORD WINAPI LookupThread(void* param) {
    auto* lookup = static_cast<Lookup*>(param);
    WinsockUse use;  // its own, as the link may be gone before the answer
    WSADATA data;
    if (lookup->calls.startup(MAKEWORD(2, 2), &data) == 0) {
        use.cleanup = lookup->calls.cleanup;
        ADDRINFOW hints{};
        hints.ai_family = AF_UNSPEC;  // IPv4 and IPv6 alike
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        ADDRINFOW* found = nullptr;
        lookup->result = lookup->calls.getAddrInfo(lookup->host.c_str(), lookup->port.c_str(), &hints, &found);
        lookup->found = lookup->result == 0 ? found : nullptr;
    }
    Release(lookup);
    return 0;
}

LinkFailure FailureOf(int error) {
    switch (error) {
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA: return LinkFailure::kNameNotFound;
        case WSAECONNREFUSED: return LinkFailure::kRefused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN: return LinkFailure::kUnreachable;
        case WSAETIMEDOUT: return LinkFailure::kTimedOut;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAESHUTDOWN: return LinkFailure::kClosed;
        default: return LinkFailure::kOther;
    }
}

// Waits for `handle`, the owner's stop and the deadline, whichever comes first.
LinkFailure WaitFor(HANDLE stop, HANDLE handle, ULONGLONG deadline) {
    const HANDLE both[2] = {stop, handle};  // the stop first: it wins when both are set
    const DWORD count = stop ? 2 : 1;
    const DWORD woke = ::WaitForMultipleObjects(count, stop ? both : both + 1, FALSE, MsUntil(deadline));
    if (woke == WAIT_OBJECT_0 + count - 1) return LinkFailure::kNone;
    if (woke == WAIT_TIMEOUT) return LinkFailure::kTimedOut;
    return stop && woke == WAIT_OBJECT_0 ? LinkFailure::kStopped : LinkFailure::kOther;
}

class Win32ImapLink final : public ImapLink, private RawStream {
public:
    Win32ImapLink(const LinkTarget& target, HANDLE stop, unsigned sendMs)
        : target_(target), stop_(stop), sendMs_(sendMs) {}

    ~Win32ImapLink() override {
        if (tls_ && !broken_) tls_->Close(*this, ::GetTickCount64() + kCloseMs);
    }

    LinkError Open(ULONGLONG deadline) {
        LinkError error = Connect(deadline);
        if (!error && target_.tls) error = StartTlsBy(deadline);
        return Keep(std::move(error), false);
    }

    LinkError Send(std::string_view bytes) override {
        if (broken_) return broken_;
        const ULONGLONG deadline = ::GetTickCount64() + sendMs_;
        return Keep(tls_ ? tls_->Send(*this, bytes, deadline) : SendRaw(bytes, deadline), false);
    }

    LinkError Receive(std::string& into, unsigned waitMs) override {
        if (broken_) return broken_;
        const ULONGLONG deadline = ::GetTickCount64() + waitMs;
        return Keep(tls_ ? tls_->Receive(*this, into, deadline) : ReceiveRaw(into, kChunk, deadline), true);
    }

    LinkError StartTls(unsigned waitMs) override {
        if (broken_) return broken_;
        if (tls_) return {LinkFailure::kTls, Where() + ": TLS is on already"};
        return Keep(StartTlsBy(::GetTickCount64() + waitMs), false);
    }

private:
    std::string Where() const { return target_.host + " port " + std::to_string(target_.port); }

    // Every failure but a receive that timed out leaves the link unusable.
    LinkError Keep(LinkError error, bool timeoutKeepsLink) {
        if (error && !(timeoutKeepsLink && error.failure == LinkFailure::kTimedOut)) broken_ = error;
        return error;
    }

    LinkError SocketError(int error) const {
        return {FailureOf(error), Where() + " (Winsock error " + std::to_string(error) + ")"};
    }

    LinkError Waited(LinkFailure failure, const char* what) const {
        if (failure == LinkFailure::kStopped) return {failure, Where() + ": stopped while " + what};
        if (failure == LinkFailure::kTimedOut) return {failure, Where() + ": no answer in time while " + what};
        return {LinkFailure::kOther, Where() + ": waiting failed while " + what};
    }

    // Waits for the socket's events; they are read and the event reset.
    LinkError AwaitSocket(ULONGLONG deadline, const char* what, WSANETWORKEVENTS& seen) {
        if (const LinkFailure failure = WaitFor(stop_, event_.get(), deadline); failure != LinkFailure::kNone)
            return Waited(failure, what);
        if (ws_.events(socket_.get(), event_.get(), &seen) != 0) return SocketError(ws_.lastError());
        return {};
    }

    LinkError Connect(ULONGLONG deadline) {
        if (!ws_.Complete()) return {LinkFailure::kOther, "Winsock (ws2_32.dll) is not available"};
        WSADATA data;
        if (ws_.startup(MAKEWORD(2, 2), &data) != 0) return {LinkFailure::kOther, "Winsock did not start"};
        started_.cleanup = ws_.cleanup;
        event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));  // manual reset, as Winsock wants
        if (!event_) return {LinkFailure::kOther, "no event for the connection"};
        UniqueAddresses addresses;
        if (LinkError error = Resolve(deadline, addresses)) return error;
        int left = 0;
        for (const ADDRINFOW* a = addresses.get(); a; a = a->ai_next) ++left;
        LinkError error{LinkFailure::kTimedOut, Where() + ": no time left to connect"};
        for (const ADDRINFOW* a = addresses.get(); a && MsUntil(deadline) > 0; a = a->ai_next, --left) {
            // An address that does not answer leaves the next ones half the time.
            error = ConnectTo(*a, left > 1 ? ::GetTickCount64() + MsUntil(deadline) / 2 : deadline);
            if (!error || error.failure == LinkFailure::kStopped) break;
        }
        return error;
    }

    LinkError Resolve(ULONGLONG deadline, UniqueAddresses& addresses) {
        auto* lookup = new Lookup{2, ws_, Wide(target_.host), Wide(std::to_string(target_.port))};
        const UniqueKernelHandle thread(::CreateThread(nullptr, 0, LookupThread, lookup, 0, nullptr));
        if (!thread) {
            delete lookup;
            return {LinkFailure::kOther, "no thread for the name lookup"};
        }
        const LinkFailure waited = WaitFor(stop_, thread.get(), deadline);
        int result = 0;
        if (waited == LinkFailure::kNone) {  // else the thread may still write
            result = lookup->result;
            addresses.reset(lookup->found, AddressesCloser{ws_.freeAddrInfo});
            lookup->found = nullptr;
        }
        Release(lookup);
        if (waited != LinkFailure::kNone) return Waited(waited, "looking up the name");
        if (result != 0 || !addresses) {
            return {FailureOf(result) == LinkFailure::kNameNotFound ? LinkFailure::kNameNotFound : LinkFailure::kOther,
                    target_.host + " (Winsock error " + std::to_string(result) + ")"};
        }
        return {};
    }

    LinkError ConnectTo(const ADDRINFOW& address, ULONGLONG deadline) {
        ::ResetEvent(event_.get());
        socket_.reset(ws_.open(address.ai_family, address.ai_socktype, address.ai_protocol), SocketCloser{ws_.close});
        if (!socket_) return SocketError(ws_.lastError());
        // Makes the socket non-blocking: from here on it is only waited for.
        if (ws_.eventSelect(socket_.get(), event_.get(), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0)
            return SocketError(ws_.lastError());
        if (ws_.connect(socket_.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return {};
        if (const int error = ws_.lastError(); error != WSAEWOULDBLOCK) return SocketError(error);
        for (;;) {
            WSANETWORKEVENTS seen{};
            if (LinkError error = AwaitSocket(deadline, "connecting", seen)) return error;
            if (seen.lNetworkEvents & FD_CONNECT)
                return seen.iErrorCode[FD_CONNECT_BIT] ? SocketError(seen.iErrorCode[FD_CONNECT_BIT]) : LinkError{};
        }
    }

    LinkError StartTlsBy(ULONGLONG deadline) {
        tls_ = std::make_unique<TlsSession>(target_.host);
        return tls_->Start(*this, deadline);
    }

    LinkError SendRaw(std::string_view bytes, ULONGLONG deadline) override {
        while (!bytes.empty()) {
            const int n = ws_.send(socket_.get(), bytes.data(), static_cast<int>(std::min(bytes.size(), kChunk)), 0);
            if (n > 0) {
                bytes.remove_prefix(static_cast<size_t>(n));
                continue;
            }
            if (const int error = ws_.lastError(); error != WSAEWOULDBLOCK) return SocketError(error);
            WSANETWORKEVENTS seen{};
            if (LinkError error = AwaitSocket(deadline, "sending", seen)) return error;
        }
        return {};
    }

    LinkError ReceiveRaw(std::string& into, size_t most, ULONGLONG deadline) override {
        const size_t before = into.size();
        const size_t want = std::min(most, kChunk);
        for (;;) {
            into.resize(before + want);
            const int n = ws_.recv(socket_.get(), into.data() + before, static_cast<int>(want), 0);
            into.resize(before + static_cast<size_t>(std::max(n, 0)));
            if (n > 0) return {};
            if (n == 0) return {LinkFailure::kClosed, Where() + ": the server closed the connection"};
            if (const int error = ws_.lastError(); error != WSAEWOULDBLOCK) return SocketError(error);
            WSANETWORKEVENTS seen{};
            if (LinkError error = AwaitSocket(deadline, "receiving", seen)) return error;
        }
    }

    WinsockCalls ws_;
    WinsockUse started_;  // before the socket: Winsock ends after it is closed
    LinkTarget target_;
    HANDLE stop_;
    unsigned sendMs_;
    UniqueKernelHandle event_;
    UniqueSocket socket_;
    std::unique_ptr<TlsSession> tls_;
    LinkError broken_;
};

}  // namespace

std::unique_ptr<ImapLink> OpenImapLink(const LinkTarget& target, HANDLE stop, unsigned waitMs, LinkError& error) {
    auto link = std::make_unique<Win32ImapLink>(target, stop, waitMs);
    error = link->Open(::GetTickCount64() + waitMs);
    if (error) return nullptr;
    return link;
}

}  // namespace vl
