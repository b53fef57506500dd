#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

#include "app/StartupTestSupport.h"
#include "basic/widgets/InstanceChannel.h"
#include "platform/OsText.h"

namespace {

constexpr const char* kChannel = "TestChannel";

TEST(InstanceChannel, ListenerAnswersTheCodeItGot) {
  TInstanceDirScope dir;
  EXPECT_EQ(SendBesideEventLoop(kChannel, 2), 0) << "nobody listens";
  EXPECT_FALSE(ExistsBesideEventLoop(kChannel));

  TChannelListener listener(kChannel);
  ASSERT_TRUE(listener.Listen());
  std::vector<int> got;
  listener.SetReceiver([&](int code) {
    got.push_back(code);
    return code == 2 ? 1 : 77;
  });
  EXPECT_TRUE(ExistsBesideEventLoop(kChannel));
  EXPECT_EQ(SendBesideEventLoop(kChannel, 2), 1);
  EXPECT_EQ(SendBesideEventLoop(kChannel, -5), 77);
  EXPECT_EQ(got, (std::vector<int>{2, -5}));
}

TEST(InstanceChannel, ListenerWithoutReceiverLeavesTheSenderUnanswered) {
  TInstanceDirScope dir;
  TChannelListener listener(kChannel);
  ASSERT_TRUE(listener.Listen());
  EXPECT_TRUE(ExistsBesideEventLoop(kChannel));
  EXPECT_EQ(SendBesideEventLoop(kChannel, 2), 0);
}

TEST(InstanceChannel, OnlyTheListenerThatMadeTheSocketRemovesIt) {
  TInstanceDirScope dir;
  const std::string socketFile = ChannelSocketPath(kChannel);
  TChannelListener first(kChannel);
  ASSERT_TRUE(first.Listen());
  first.SetReceiver([](int) { return 1; });
  {
    TChannelListener second(kChannel);
    EXPECT_FALSE(second.Listen()) << "the channel is taken";
    EXPECT_FALSE(second.Listening());
    second.Remove();
  }  // the second one is gone: the first one's socket must stay
  EXPECT_EQ(access(socketFile.c_str(), F_OK), 0);
  EXPECT_EQ(SendBesideEventLoop(kChannel, 2), 1);
  first.Remove();
  EXPECT_NE(access(socketFile.c_str(), F_OK), 0);
  EXPECT_FALSE(ExistsBesideEventLoop(kChannel));
}

TEST(InstanceChannel, SocketLeftByADeadProcessIsTakenOver) {
  TInstanceDirScope dir;
  const std::string socketFile = ChannelSocketPath(kChannel);
  // A bound socket whose owner is gone: the file stays, nobody accepts.
  {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketFile.size(), sizeof address.sun_path);
    socketFile.copy(address.sun_path, socketFile.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
  }
  ASSERT_EQ(access(socketFile.c_str(), F_OK), 0);
  EXPECT_FALSE(ExistsBesideEventLoop(kChannel));
  TChannelListener listener(kChannel);
  ASSERT_TRUE(listener.Listen());
  listener.SetReceiver([](int) { return 1; });
  EXPECT_EQ(SendBesideEventLoop(kChannel, 2), 1);
}

TEST(InstanceChannel, SocketIsPerUserAndPerChannel) {
  TInstanceDirScope dir;
  const std::string a = ChannelSocketPath(kInstanceChannelName);
  const std::string b = ChannelSocketPath(kLoaderChannelName);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(dir.Dir().Dir(), 0), 0u) << a;
  EXPECT_NE(a.find(std::string(kInstanceChannelName) + "-" + std::to_string(getuid())),
            std::string::npos);
}

}  // namespace
