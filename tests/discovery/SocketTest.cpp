#include "discovery/Once.h"
#include "discovery/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace TWG;

namespace {

std::string dotted(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

} // namespace

TEST(SocketAddress, ParsesTextsAsTheTableSays)
{
    struct Row {
        const char* text;
        int code;
        const char* address;
        std::uint16_t port;
    };
    const Row rows[] = {
        {"1.2.3.4:5353", SocketOk, "1.2.3.4", 5353},
        {"localhost:5353", SocketOk, "127.0.0.1", 5353},
        // Leading zeros are decimal: not octal 192.168.1.8, and "09" is not refused.
        {"192.168.001.010:5353", SocketOk, "192.168.1.10", 5353},
        {"10.0.0.09:1", SocketOk, "10.0.0.9", 1},
        {"127.0.0.2:0", SocketOk, "127.0.0.2", 0},
        {"1.2.3.4", SocketInvalidArgument, nullptr, 0},
        {"", SocketInvalidArgument, nullptr, 0},
        {"256.1.1.1:5353", SocketInvalidArgument, nullptr, 0},
        {"1.2.3:5353", SocketInvalidArgument, nullptr, 0},
        {"1.2.3.4.5:5353", SocketInvalidArgument, nullptr, 0},
        {"1.2.3.4x:5353", SocketInvalidArgument, nullptr, 0},
        {"1.2.3.4:", SocketInvalidArgument, nullptr, 0},
        {"1.2.3.4:65536", SocketInvalidArgument, nullptr, 0},
        {"1.2.3.4:53a", SocketInvalidArgument, nullptr, 0},
        // A datagram to 0.0.0.0 reaches this computer: neither typed nor left by a failed look-up.
        {"0.0.0.0:5353", SocketAddressNotAvailable, nullptr, 0},
        {"000.0.00.0:5353", SocketAddressNotAvailable, nullptr, 0},
        // A look-up that fails: a label over 63 bytes is refused before any question is sent.
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx.invalid:5353", SocketAddressNotAvailable,
         nullptr, 0},
    };
    Socket socket(Socket::IPv4, true);
    for (const Row& row : rows) {
        sockaddr_in out{};
        out.sin_port = 0xBEEF;
        EXPECT_EQ(socket.parseAddress(&out, row.text), row.code) << row.text;
        if (row.address) {
            EXPECT_EQ(dotted(out), row.address) << row.text;
            EXPECT_EQ(out.sin_port, htons(row.port)) << row.text;
            EXPECT_EQ(out.sin_family, AF_INET) << row.text;
        }
    }
    sockaddr_in out{};
    EXPECT_EQ(socket.parseAddress(&out, nullptr), SocketInvalidArgument);
    Socket local(Socket::Local, false);
    EXPECT_EQ(local.parseAddress(&out, "1.2.3.4:5"), SocketWrongKind);
}

TEST(SocketAddress, TextWithoutPortIsRefusedByEveryAddressTakingOperation)
{
    Socket socket(Socket::IPv4, true);
    std::size_t sent = 99;
    EXPECT_EQ(socket.bind("127.0.0.1"), SocketInvalidArgument);
    EXPECT_EQ(socket.connect("127.0.0.1"), SocketInvalidArgument);
    EXPECT_EQ(socket.sendTo("x", 1, &sent, "127.0.0.1"), SocketInvalidArgument);
    EXPECT_EQ(sent, 0u);
    // No text at all: bind and connect say the address is missing, sendTo that it is invalid.
    EXPECT_EQ(socket.bind(nullptr), SocketAddressMissing);
    EXPECT_EQ(socket.connect(nullptr), SocketAddressMissing);
    sent = 99;
    EXPECT_EQ(socket.sendTo("x", 1, &sent, nullptr), SocketInvalidArgument);
    EXPECT_EQ(sent, 0u);
}

TEST(SocketErrors, SystemNumbersTranslateToTheTableAndOthersToOneWithOneLine)
{
    Socket socket(Socket::IPv4, true);
    const std::pair<int, int> table[] = {
        {0, 0},           {ENOENT, 2},     {EBADF, 3},       {ENOMEM, 4},         {EEXIST, 5},
        {EINVAL, 6},      {ENOTSOCK, 7},   {EDESTADDRREQ, 8}, {EMSGSIZE, 9},      {EPROTOTYPE, 10},
        {EADDRINUSE, 11}, {EADDRNOTAVAIL, 12}, {ECONNRESET, 13}, {EPIPE, 13}, {ETIMEDOUT, 14},
        {ECONNREFUSED, 15},
    };
    testing::internal::CaptureStderr();
    for (const auto& row : table)
        EXPECT_EQ(socket.translateError(row.first), row.second) << row.first;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStderr();
    EXPECT_EQ(socket.translateError(ENOSPC), SocketUntranslated);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "No error code translation for " + std::to_string(ENOSPC) + " (" + std::strerror(ENOSPC) + ")\n");
}

TEST(SocketLifeCycle, OperationsWithoutASocketAndOfTheWrongKind)
{
    Socket socket(Socket::IPv4, true);
    EXPECT_FALSE(socket.isInvalid());
    EXPECT_EQ(socket.create(), SocketAlreadyExists);
    EXPECT_EQ(socket.close(), SocketOk);
    EXPECT_EQ(socket.close(), SocketOk);
    EXPECT_TRUE(socket.isInvalid());
    char byte = 0;
    std::size_t n = 0;
    EXPECT_EQ(socket.bind("127.0.0.1:0"), SocketNoSocket);
    EXPECT_EQ(socket.connect("127.0.0.1:9"), SocketNoSocket);
    EXPECT_EQ(socket.send(&byte, 1, &n), SocketNoSocket);
    EXPECT_EQ(socket.sendTo(&byte, 1, &n, "127.0.0.1:9"), SocketNoSocket);
    EXPECT_EQ(socket.receive(&byte, 1, &n), SocketNoSocket);
    EXPECT_EQ(socket.listen(1), SocketNoSocket);
    EXPECT_EQ(socket.joinMulticastGroup("224.0.0.251"), SocketNoSocket);
    EXPECT_EQ(socket.reservedOperation(), SocketInvalidArgument);

    Socket stream(Socket::IPv4, false);
    EXPECT_EQ(stream.sendTo(&byte, 1, &n, "127.0.0.1:9"), SocketWrongKind);
    EXPECT_EQ(stream.joinMulticastGroup("224.0.0.251"), SocketWrongKind);
    EXPECT_EQ(stream.leaveMulticastGroup("224.0.0.251"), SocketWrongKind);
    Socket datagram(Socket::IPv4, true);
    EXPECT_EQ(datagram.setNoDelay(true), SocketWrongKind);
    EXPECT_EQ(datagram.accept(nullptr, nullptr, nullptr), SocketWrongKind);
    EXPECT_EQ(datagram.joinMulticastGroup(nullptr), SocketAddressMissing);
}

TEST(SocketLifeCycle, DatagramRoundTripOnLoopbackAndReceiveAfterShutdown)
{
    Socket fixed(Socket::IPv4, true);
    ASSERT_EQ(fixed.bind("127.0.0.19:47653"), SocketOk);
    EXPECT_TRUE(fixed.isConnected());
    Socket sender(Socket::IPv4, true);
    ASSERT_EQ(sender.connect("127.0.0.19:47653"), SocketOk);
    std::size_t sent = 0;
    ASSERT_EQ(sender.send("hello", 5, &sent), SocketOk);
    EXPECT_EQ(sent, 5u);
    char buffer[16] = {};
    std::size_t received = 0;
    ASSERT_EQ(fixed.receive(buffer, sizeof buffer, &received), SocketOk);
    EXPECT_EQ(std::string(buffer, received), "hello");

    // A receive blocked on another thread wakes at shutdown with "closed" and nothing received.
    std::atomic<int> code{-1};
    std::size_t late = 99;
    std::thread receiver([&] { code = fixed.receive(buffer, sizeof buffer, &late); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(code, -1);
    EXPECT_EQ(fixed.shutdown(), SocketOk);
    receiver.join();
    EXPECT_EQ(code, SocketClosed);
    EXPECT_EQ(late, 0u);
}

TEST(SocketStream, AcceptGivesThePeerAndSendToAClosedPeerGivesClosedWithoutSigpipe)
{
    Socket server(Socket::IPv4, false);
    ASSERT_EQ(server.bind("127.0.0.19:47654"), SocketOk);
    ASSERT_EQ(server.listen(1), SocketOk);
    Socket client(Socket::IPv4, false);
    ASSERT_EQ(client.bind("127.0.0.3:47655"), SocketOk);
    ASSERT_EQ(client.connect("127.0.0.19:47654"), SocketOk);
    EXPECT_EQ(client.setNoDelay(true), SocketOk);
    std::unique_ptr<Socket> peer;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    ASSERT_EQ(server.accept(&peer, &address, &port), SocketOk);
    ASSERT_TRUE(peer);
    EXPECT_TRUE(peer->isConnected());
    EXPECT_EQ(address, 0x7F000003u);
    EXPECT_EQ(port, 47655);

    peer->close();
    std::vector<char> data(65536, 'x');
    std::size_t sent = 0;
    int code = SocketOk;
    // The first sends may still be taken; the peer's reset ends them.
    for (int i = 0; i < 50 && code == SocketOk; ++i)
        code = client.send(data.data(), data.size(), &sent);
    EXPECT_EQ(code, SocketClosed);
}

TEST(Once, RunsTheCallbackOnceAndEveryCallerReturnsAfterIt)
{
    std::atomic<int> runs{0};
    std::atomic<bool> finished{false};
    Core::Once once([&] {
        ++runs;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        finished = true;
    });
    std::atomic<int> early{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i) {
        callers.emplace_back([&] {
            EXPECT_EQ(once.execute(), 0);
            if (!finished)
                ++early;
        });
    }
    for (auto& t : callers)
        t.join();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(early, 0);
}
