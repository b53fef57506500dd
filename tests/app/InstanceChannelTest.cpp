#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
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

// Sets an environment variable (or removes it, for nullptr) for one scope.
class TEnvScope {
 public:
  TEnvScope(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TEnvScope() {
    if (hadOld_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  TEnvScope(const TEnvScope&) = delete;
  TEnvScope& operator=(const TEnvScope&) = delete;

 private:
  std::string name_, old_;
  bool hadOld_ = false;
};

// One program per desktop: a start on another display of the same user does not find the
// program of the first display, and the installer finds both.
TEST(InstanceChannel, SocketIsPerDisplay) {
  TInstanceDirScope dir;
  TEnvScope wayland("WAYLAND_DISPLAY", nullptr);
  std::string first, second;
  auto listener = std::make_unique<TChannelListener>(kChannel);
  {
    TEnvScope display("DISPLAY", ":7");
    first = ChannelSocketPath(kChannel);
    EXPECT_EQ(SessionDisplay(), ":7");
    ASSERT_TRUE(listener->Listen());
    EXPECT_TRUE(ExistsBesideEventLoop(kChannel));
  }
  {
    TEnvScope display("DISPLAY", ":8");
    second = ChannelSocketPath(kChannel);
    EXPECT_NE(first, second);
    EXPECT_FALSE(ExistsBesideEventLoop(kChannel)) << "the other display's program is not ours";
    TChannelListener beside(kChannel);
    EXPECT_TRUE(beside.Listen()) << "a program of its own on this display";
    EXPECT_TRUE(ChannelListenerExistsOnAnyDisplay(kChannel));
  }
  {
    TEnvScope display("DISPLAY", nullptr);
    EXPECT_FALSE(ExistsBesideEventLoop(kChannel));
    EXPECT_TRUE(
        RunBesideEventLoop<bool>([] { return ChannelListenerExistsOnAnyDisplay(kChannel); }));
    listener.reset();
    EXPECT_FALSE(
        RunBesideEventLoop<bool>([] { return ChannelListenerExistsOnAnyDisplay(kChannel); }));
  }
  {
    // A Wayland session's display is a name or a path; either gives a file name of its own.
    TEnvScope display("DISPLAY", ":7");
    TEnvScope way("WAYLAND_DISPLAY", "/run/user/1000/wayland-1");
    const std::string path = ChannelSocketPath(kChannel);
    EXPECT_NE(path, first);
    EXPECT_EQ(path.rfind(dir.Dir().Dir(), 0), 0u) << path;
    EXPECT_NE(path.substr(path.rfind('/') + 1).find("_run_user_1000_wayland-1"), std::string::npos)
        << path;
  }
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
