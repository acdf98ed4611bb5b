// The fixture's testbed itself, where the end-to-end tests need more than umockdev gives: a
// uevent for a listener that goes away while it is sent (a tool exiting as its device
// re-enumerates) must not end the test program.

#include "tests/platform/libusb/fixture/MockTestbed.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace usbfs_fixture;

namespace {

struct Send {
    ssize_t result = 0;
    int error = 0;
    std::string received; // by the listener, when it stayed
};

// What umockdev's uevent sender does for each listener: connect to its socket, then send; the
// listener may close in between.
Send sendLikeUmockdev(const std::string& path, bool listenerCloses)
{
    Send s;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const int listener = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    const int sender = ::socket(AF_UNIX, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0 || sender < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::connect(sender, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        s.result = -2;
        s.error = errno;
    } else {
        if (listenerCloses)
            ::close(listener);
        char event[] = "ACTION=remove";
        iovec iov{event, sizeof event};
        msghdr msg{};
        msg.msg_name = &addr; // without its length, as umockdev sends it
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        s.result = ::sendmsg(sender, &msg, 0);
        s.error = s.result < 0 ? errno : 0;
        char buffer[64] = {};
        if (!listenerCloses && ::recv(listener, buffer, sizeof buffer - 1, MSG_DONTWAIT) > 0)
            s.received = buffer;
    }
    if (!listenerCloses && listener >= 0)
        ::close(listener);
    if (sender >= 0)
        ::close(sender);
    ::unlink(path.c_str());
    return s;
}

TEST(MockTestbed, AUeventForAListenerThatClosedMeanwhileIsDroppedAndOnlyThat)
{
    ASSERT_TRUE(MockTestbed::preloaded()) << "needs umockdev's preload: run it through ctest";
    MockTestbed testbed;
    const std::string root = testbed.rootDir();
    ASSERT_FALSE(root.empty());
    std::string elsewhere = root + "-not-a-testbed-XXXXXX";
    ASSERT_TRUE(::mkdtemp(&elsewhere[0]));

    const Send gone = sendLikeUmockdev(root + "/event4242", true);
    EXPECT_EQ(gone.result, static_cast<ssize_t>(sizeof "ACTION=remove")) << std::strerror(gone.error);

    const Send stayed = sendLikeUmockdev(root + "/event4243", false);
    EXPECT_EQ(stayed.result, static_cast<ssize_t>(sizeof "ACTION=remove")) << std::strerror(stayed.error);
    EXPECT_EQ(stayed.received, "ACTION=remove");

    // Any other refused send keeps its error.
    for (const std::string& path : {elsewhere + "/event4242", root + "/other4242"}) {
        SCOPED_TRACE(path);
        const Send other = sendLikeUmockdev(path, true);
        EXPECT_EQ(other.result, -1);
        EXPECT_EQ(other.error, ECONNREFUSED);
    }
    ::rmdir(elsewhere.c_str());
}

} // namespace
