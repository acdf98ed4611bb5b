#include "discovery/DatagramChannel.h"

#include <algorithm>

namespace TWG {

DatagramChannel::DatagramChannel() : socket_(Socket::IPv4, true), buffer_(Dns::kDatagramBufferSize)
{
    receiver_ = std::thread([this] { receiveLoop(); });
}

DatagramChannel::~DatagramChannel()
{
    // Closing alone does not wake a blocked receive; shutting down does, and the handle stays
    // ours until the thread is gone.
    socket_.shutdown();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    receiver_.join();
    socket_.close();
}

int DatagramChannel::send(const std::uint8_t* data, std::size_t length, const std::string& address,
                          std::uint16_t port)
{
    if (busy_.exchange(true))
        return -1;
    std::unique_lock<std::mutex> lock(mutex_);
    port_ = port;
    address_ = address;
    const std::string peer = address + ':' + std::to_string(port);
    std::size_t sent = 0;
    if (socket_.connect(peer.c_str()) != SocketOk || socket_.send(data, length, &sent) != SocketOk
        || sent != length)
        return -1;
    sent_ = true;
    lock.unlock();
    wake_.notify_all();
    return 0;
}

std::vector<std::uint8_t> DatagramChannel::takeDatagram()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::uint8_t> datagram(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length_));
    length_ = 0;
    busy_ = false;
    return datagram;
}

void DatagramChannel::receiveLoop()
{
    std::vector<std::uint8_t> incoming(Dns::kDatagramBufferSize);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return sent_ || !running_; });
            if (!running_)
                return;
            sent_ = false;
        }
        std::size_t count = 0;
        // An ICMP refusal (nothing listens there) counts as nothing received: the time-out answers.
        const int code = socket_.receive(incoming.data(), incoming.size() - 1, &count);
        if (code != SocketOk || count == 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::copy(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(count), buffer_.begin());
            length_ = count;
        }
        received();
    }
}

} // namespace TWG
