#include "discovery/Socket.h"

#include "discovery/Once.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace TWG {

namespace {

// Linux needs no socket library start-up; the guard keeps the order of the steps.
Core::Once& socketLibrary()
{
    static Core::Once once([] {});
    return once;
}

struct ErrorMapping {
    int systemCode;
    int code;
};

constexpr ErrorMapping kErrors[] = {
    {ENOENT, SocketNoEntry},
    {EBADF, SocketBadHandle},
    {ENOMEM, SocketOutOfMemory},
    {EEXIST, SocketAlreadyExists},
    {EINVAL, SocketInvalidArgument},
    {ENOTSOCK, SocketNoSocket},
    {EDESTADDRREQ, SocketAddressMissing},
    {EMSGSIZE, SocketMessageTooLong},
    {EPROTOTYPE, SocketWrongKind},
    {EADDRINUSE, SocketAddressInUse},
    {EADDRNOTAVAIL, SocketAddressNotAvailable},
    {ECONNRESET, SocketClosed},
    {EPIPE, SocketClosed},
    {ETIMEDOUT, SocketTimedOut},
    {ECONNREFUSED, SocketRefused},
};

// Four decimal numbers 0-255 split by "."; leading zeros read as decimal.
bool parseDottedQuad(const std::string& text, in_addr* out)
{
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            part = part * 10 + static_cast<unsigned>(text[i] - '0');
            if (++digits > 3 || part > 255)
                return false;
            ++i;
        }
        if (digits == 0)
            return false;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
    }
    if (i != text.size())
        return false;
    out->s_addr = htonl(value);
    return true;
}

bool parsePort(const std::string& text, std::uint16_t* port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

Socket::Socket(int kind, bool datagram) : kind_(kind), datagram_(datagram)
{
    if (kind_ != Local) {
        socketLibrary().execute();
        create();
    }
}

Socket::~Socket()
{
    close();
}

bool Socket::isInvalid() const
{
    return handle_ == -1;
}

bool Socket::isConnected() const
{
    return handle_ != -1 && connected_;
}

int Socket::create()
{
    if (handle_ != -1)
        return SocketAlreadyExists;
    const int family = kind_ == Local ? AF_UNIX : AF_INET;
    handle_ = ::socket(family, (datagram_ ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    return handle_ == -1 ? translateError(errno) : SocketOk;
}

int Socket::ipv4Endpoint(const char* address, sockaddr_in* parsed)
{
    if (handle_ == -1)
        return SocketNoSocket;
    if (!address)
        return SocketAddressMissing;
    if (kind_ == Local)
        return SocketInvalidArgument;
    return parseAddress(parsed, address);
}

int Socket::bind(const char* address)
{
    sockaddr_in parsed{};
    if (const int code = ipv4Endpoint(address, &parsed))
        return code;
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&parsed), sizeof parsed) != 0) {
        if (errno != EADDRINUSE)
            return translateError(errno);
        const int reuse = 1;
        ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (::bind(handle_, reinterpret_cast<const sockaddr*>(&parsed), sizeof parsed) != 0)
            return translateError(errno);
    }
    connected_ = true;
    return SocketOk;
}

int Socket::listen(int backlog)
{
    if (handle_ == -1)
        return SocketNoSocket;
    return ::listen(handle_, backlog) == 0 ? SocketOk : translateError(errno);
}

int Socket::accept(std::unique_ptr<Socket>* peer, std::uint32_t* address, std::uint16_t* port)
{
    if (handle_ == -1)
        return SocketNoSocket;
    if (kind_ != IPv4 || datagram_)
        return SocketWrongKind;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const int handle = ::accept4(handle_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
    if (handle == -1)
        return translateError(errno);
    if (from.sin_family == AF_INET) {
        if (address)
            *address = ntohl(from.sin_addr.s_addr);
        if (port)
            *port = ntohs(from.sin_port);
    }
    auto accepted = std::make_unique<Socket>(Local, false); // created empty, then given the handle
    accepted->kind_ = kind_;
    accepted->handle_ = handle;
    accepted->connected_ = true;
    if (peer)
        *peer = std::move(accepted);
    return SocketOk;
}

int Socket::connect(const char* address)
{
    sockaddr_in parsed{};
    if (const int code = ipv4Endpoint(address, &parsed))
        return code;
    if (::connect(handle_, reinterpret_cast<const sockaddr*>(&parsed), sizeof parsed) != 0) {
        const int error = errno;
        connected_ = false;
        return translateError(error);
    }
    connected_ = true;
    return SocketOk;
}

int Socket::send(const void* data, std::size_t length, std::size_t* sent)
{
    if (sent)
        *sent = 0;
    if (handle_ == -1)
        return SocketNoSocket;
    // A closed peer must give an error, not SIGPIPE.
    const ssize_t n = ::send(handle_, data, length, MSG_NOSIGNAL);
    if (n < 0)
        return errno == EBADF ? SocketClosed : translateError(errno);
    if (sent)
        *sent = static_cast<std::size_t>(n);
    return n == 0 && length > 0 ? SocketClosed : SocketOk;
}

int Socket::sendTo(const void* data, std::size_t length, std::size_t* sent, const char* address)
{
    if (sent)
        *sent = 0;
    if (handle_ == -1)
        return SocketNoSocket;
    if (!datagram_)
        return SocketWrongKind;
    // No text is an address that does not parse, unlike bind and connect.
    sockaddr_in parsed{};
    if (const int code = parseAddress(&parsed, address))
        return code;
    const ssize_t n = ::sendto(handle_, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&parsed),
                               sizeof parsed);
    if (n < 0)
        return errno == EBADF ? SocketClosed : translateError(errno);
    if (sent)
        *sent = static_cast<std::size_t>(n);
    return n == 0 && length > 0 ? SocketClosed : SocketOk;
}

int Socket::receive(void* buffer, std::size_t size, std::size_t* received)
{
    if (received)
        *received = 0;
    if (handle_ == -1)
        return SocketNoSocket;
    const ssize_t n = ::recv(handle_, buffer, size, 0);
    if (n < 0)
        return errno == EBADF ? SocketClosed : translateError(errno);
    if (received)
        *received = static_cast<std::size_t>(n);
    return n == 0 ? SocketClosed : SocketOk;
}

int Socket::setNoDelay(bool noDelay)
{
    if (handle_ == -1)
        return SocketNoSocket;
    if (datagram_)
        return SocketWrongKind;
    const int flag = noDelay ? 1 : 0;
    return ::setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag) == 0 ? SocketOk
                                                                                     : translateError(errno);
}

int Socket::joinMulticastGroup(const char* group)
{
    return multicastMembership(group, IP_ADD_MEMBERSHIP);
}

int Socket::leaveMulticastGroup(const char* group)
{
    return multicastMembership(group, IP_DROP_MEMBERSHIP);
}

int Socket::multicastMembership(const char* group, int option)
{
    if (handle_ == -1)
        return SocketNoSocket;
    if (!datagram_)
        return SocketWrongKind;
    if (!group)
        return SocketAddressMissing;
    ip_mreq request{};
    if (!parseDottedQuad(group, &request.imr_multiaddr))
        return SocketInvalidArgument;
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    return ::setsockopt(handle_, IPPROTO_IP, option, &request, sizeof request) == 0 ? SocketOk
                                                                                    : translateError(errno);
}

int Socket::shutdown()
{
    if (handle_ == -1)
        return SocketNoSocket;
    if (::shutdown(handle_, SHUT_RDWR) != 0 && errno != ENOTCONN)
        return translateError(errno);
    return SocketOk;
}

int Socket::close()
{
    if (handle_ == -1)
        return SocketOk;
    int code = SocketOk;
    if (::shutdown(handle_, SHUT_RDWR) != 0 && errno != ENOTCONN)
        code = translateError(errno);
    connected_ = false;
    if (::close(handle_) != 0 && code == SocketOk)
        code = translateError(errno);
    handle_ = -1;
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
    return code;
}

int Socket::reservedOperation()
{
    return SocketInvalidArgument;
}

int Socket::parseAddress(sockaddr_in* out, const char* text)
{
    if (kind_ == Local)
        return SocketWrongKind;
    if (!text)
        return SocketInvalidArgument;
    const std::string all(text);
    const std::size_t colon = all.find(':');
    if (colon == std::string::npos)
        return SocketInvalidArgument;
    const std::string host = all.substr(0, colon);
    std::uint16_t port = 0;
    if (!parsePort(all.substr(colon + 1), &port))
        return SocketInvalidArgument;

    in_addr address{};
    if (!host.empty() && host[0] >= '0' && host[0] <= '9') {
        if (!parseDottedQuad(host, &address))
            return SocketInvalidArgument;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = datagram_ ? SOCK_DGRAM : SOCK_STREAM;
        addrinfo* found = nullptr;
        const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (result == EAI_MEMORY)
            return SocketOutOfMemory;
        if (result == 0 && found && found->ai_family == AF_INET)
            address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        if (found)
            ::freeaddrinfo(found);
    }
    if (address.s_addr == htonl(INADDR_ANY))
        return SocketAddressNotAvailable;
    *out = sockaddr_in{};
    out->sin_family = AF_INET;
    out->sin_addr = address;
    out->sin_port = htons(port);
    return SocketOk;
}

int Socket::translateError(int systemCode)
{
    if (systemCode == 0)
        return SocketOk;
    for (const ErrorMapping& mapping : kErrors) {
        if (mapping.systemCode == systemCode)
            return mapping.code;
    }
    std::fprintf(stderr, "No error code translation for %d (%s)\n", systemCode, std::strerror(systemCode));
    return SocketUntranslated;
}

} // namespace TWG
