#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace TWG {

// What every socket operation returns, whatever the system said.
enum SocketError : int {
    SocketOk = 0,
    SocketUntranslated = 1,
    SocketNoEntry = 2,
    SocketBadHandle = 3,
    SocketOutOfMemory = 4,
    SocketAlreadyExists = 5,
    SocketInvalidArgument = 6,
    SocketNoSocket = 7,
    SocketAddressMissing = 8,
    SocketMessageTooLong = 9,
    SocketWrongKind = 10,
    SocketAddressInUse = 11,
    SocketAddressNotAvailable = 12,
    SocketClosed = 13,
    SocketTimedOut = 14,
    SocketRefused = 15,
};

// A thin socket over the system's. Addresses are texts "host:port": a host that starts with a
// digit is a dotted quad read in decimal (leading zeros too), any other is looked up (IPv4).
// Not locked: a receive may block on one thread while another shuts the socket down.
class Socket {
public:
    enum Kind { IPv4 = 0, Local = 1 };

    Socket(int kind, bool datagram);
    virtual ~Socket();

    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    virtual bool isInvalid() const;
    virtual bool isConnected() const;
    virtual int create();
    virtual int bind(const char* address);
    virtual int listen(int backlog);
    // The peer's IPv4 address and port in host order.
    virtual int accept(std::unique_ptr<Socket>* peer, std::uint32_t* address, std::uint16_t* port);
    virtual int connect(const char* address);
    virtual int send(const void* data, std::size_t length, std::size_t* sent);
    virtual int sendTo(const void* data, std::size_t length, std::size_t* sent, const char* address);
    // Blocks until a datagram or data arrive, or until shutdown.
    virtual int receive(void* buffer, std::size_t size, std::size_t* received);
    virtual int setNoDelay(bool noDelay);
    virtual int joinMulticastGroup(const char* group);
    virtual int leaveMulticastGroup(const char* group);
    virtual int close();
    virtual int reservedOperation();
    // 0.0.0.0, also what a failed look-up would leave, is refused: a datagram sent there
    // reaches this computer.
    virtual int parseAddress(sockaddr_in* out, const char* text);
    // A system error number to the codes above; one that has no code gives 1 and a line on
    // the standard error stream.
    virtual int translateError(int systemCode);

    // Wakes a receive blocked on another thread (closing alone does not); the handle stays
    // open, so its number cannot be reused under that receive.
    int shutdown();

private:
    // What bind and connect check before they touch the system: an open IPv4 socket and an
    // address that parses.
    int ipv4Endpoint(const char* address, sockaddr_in* parsed);
    int multicastMembership(const char* group, int option);

    int kind_;
    bool datagram_;
    std::string path_; // a local socket's file, removed at close
    int handle_ = -1;
    bool connected_ = false;
};

} // namespace TWG
