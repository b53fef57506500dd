// The print-screen key grab on a real X server of its own (Xvfb), with a second client in
// the place of another program.
#include "platform/PrintKeyGrab.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <xcb/xcb.h>

namespace {

bool XvfbInstalled() {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = std::string(dir) + "Xvfb";
    if (access(path.c_str(), X_OK) == 0) return true;
  }
  return false;
}

// An X server for the test alone, on a display number nobody uses.
class TXvfb {
 public:
  TXvfb() {
    for (int n = 150 + getpid() % 300; n < 1000 && pid_ <= 0; n += 7) {
      struct stat info;
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      if (stat(lock.c_str(), &info) == 0) continue;
      display_ = ":" + std::to_string(n);
      pid_ = fork();
      if (pid_ == 0) {
        execlp("Xvfb", "Xvfb", display_.c_str(), "-nolisten", "tcp", "-screen", "0", "640x480x24",
               static_cast<char*>(nullptr));
        _exit(127);
      }
    }
  }
  ~TXvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  // A client connection, waiting up to ten seconds for the server to come up.
  xcb_connection_t* Connect() const {
    for (int i = 0; i < 200; ++i) {
      xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
      if (!xcb_connection_has_error(c)) return c;
      xcb_disconnect(c);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
  }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace

// Held by this program while it wants it; another program that holds it already keeps it,
// and the grab goes on without a word; given back, the other program can take it.
TEST(PrintKeyGrab, TakesThePrintKeyUnlessAnotherProgramHoldsIt) {
  if (!XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed: the X11 grab is not tried";
  TXvfb server;
  xcb_connection_t* ours = server.Connect();
  ASSERT_NE(ours, nullptr) << "Xvfb did not start";
  xcb_connection_t* other = server.Connect();
  ASSERT_NE(other, nullptr);

  TPrintKeyGrab grab;
  EXPECT_EQ(grab.Grab(ours), 5);
  TPrintKeyGrab theirs;
  EXPECT_EQ(theirs.Grab(other), 0) << "every combination is ours";
  grab.Release();
  EXPECT_EQ(theirs.Grab(other), 5);
  EXPECT_EQ(grab.Grab(ours), 0) << "now the other program keeps them";
  EXPECT_EQ(grab.Held(), 0);
  theirs.Release();

  // No connection (Wayland, the offscreen platform): nothing grabbed, nothing broken.
  EXPECT_EQ(TPrintKeyGrab().Grab(nullptr), 0);
  xcb_disconnect(other);
  xcb_disconnect(ours);
}
