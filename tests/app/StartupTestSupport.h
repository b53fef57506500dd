#pragma once
// Helpers of the start-up tests: a private folder for the program's sockets, so no test
// ever meets a Tessaro the user runs, and sending on a channel from a second thread while
// this thread serves the listener's events.

#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "basic/widgets/InstanceChannel.h"
#include "support/TestSupport.h"

class TInstanceDirScope {
 public:
  TInstanceDirScope() {
    if (const char* old = std::getenv("TESSARO_INSTANCE_DIR")) {
      hadOld_ = true;
      old_ = old;
    }
    setenv("TESSARO_INSTANCE_DIR", dir_.Path().c_str(), 1);
  }
  ~TInstanceDirScope() {
    if (hadOld_)
      setenv("TESSARO_INSTANCE_DIR", old_.c_str(), 1);
    else
      unsetenv("TESSARO_INSTANCE_DIR");
  }
  TInstanceDirScope(const TInstanceDirScope&) = delete;
  TInstanceDirScope& operator=(const TInstanceDirScope&) = delete;
  const TTempDir& Dir() const { return dir_; }

 private:
  TTempDir dir_;
  bool hadOld_ = false;
  std::string old_;
};

// Runs `work` on a second thread and serves this thread's events until it is done.
template <typename T>
T RunBesideEventLoop(std::function<T()> work) {
  auto future = std::async(std::launch::async, std::move(work));
  while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return future.get();
}

inline int SendBesideEventLoop(const std::string& channel, int code) {
  return RunBesideEventLoop<int>([channel, code] { return SendChannelCode(channel, code); });
}

inline bool ExistsBesideEventLoop(const std::string& channel) {
  return RunBesideEventLoop<bool>([channel] { return ChannelListenerExists(channel); });
}
