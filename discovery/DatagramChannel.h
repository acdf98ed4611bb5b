#pragma once

#include "discovery/DnsWire.h"
#include "discovery/Signal.h"
#include "discovery/Socket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TWG {

// A datagram socket connected to one peer, with a thread that receives one datagram after
// each send. received is emitted on that thread.
class DatagramChannel {
public:
    DatagramChannel();
    virtual ~DatagramChannel();

    DatagramChannel(const DatagramChannel&) = delete;
    DatagramChannel& operator=(const DatagramChannel&) = delete;

    Signal<void()> received;

    // 0 once sent; -1 while a datagram is still unanswered, or when the address is refused or
    // the send fails (the channel then stays busy).
    int send(const std::uint8_t* data, std::size_t length, const std::string& address, std::uint16_t port);
    // Takes the datagram that arrived, and frees the channel for the next send.
    std::vector<std::uint8_t> takeDatagram();

private:
    void receiveLoop();

    Socket socket_;
    std::mutex mutex_; // guards buffer_, length_, address_, port_ and the wake-up
    std::condition_variable wake_;
    std::vector<std::uint8_t> buffer_;
    std::size_t length_ = 0;
    std::string address_ = "0.0.0.0";
    std::uint16_t port_ = 0;
    std::atomic<bool> running_{true};
    std::atomic<bool> busy_{false};
    std::atomic<bool> sent_{false};
    std::thread receiver_;
};

} // namespace TWG
