#pragma once
// Messages between the program's processes of one user on one workstation. A process that
// wants to be found listens on a local socket of a fixed channel name; another process
// finds it by connecting, sends it a code and waits for the answer. Whoever listens is the
// running one: the socket is the marker that a process of that kind runs, and it goes with
// the listener. Two channels exist: the main program's ("MerivanTessaroApp": code 2 from a
// second start) and the start-up loader's (code 1: the program is ready, close the splash).
//
// The sockets live in a folder of the user: $TESSARO_INSTANCE_DIR when set (tests), else
// $XDG_RUNTIME_DIR, else the temporary folder; the name carries the user's ID and the
// session's display ($WAYLAND_DISPLAY, else $DISPLAY), and only the user may connect: two
// users of one machine never meet, and a start on another desktop of the same user is a
// program of its own there instead of a hand-over to a window that user cannot see.
//
// On the wire the sender writes the code and the receiver its answer, each as 4 bytes
// little-endian. A listener without a receiver (a process still starting, with no window to
// answer with yet) closes the connection unanswered.

#include <functional>
#include <memory>
#include <string>

#include <QObject>

class QLocalServer;
class QLocalSocket;

inline constexpr const char* kInstanceChannelName = "MerivanTessaroApp";
inline constexpr const char* kLoaderChannelName = "MerivanTessaroLoader";
// How long a sender waits for the connection and for the answer.
constexpr int kChannelTimeoutMs = 5000;

// Full path of the channel's socket.
std::string ChannelSocketPath(const std::string& channelName);

// The display part of the channels' names: $WAYLAND_DISPLAY, else $DISPLAY, made fit for
// a file name; empty without either (no part then).
std::string SessionDisplay();

// True when a process listens on the channel (of this display).
bool ChannelListenerExists(const std::string& channelName);
// True when a process of this user listens on the channel on any display (the installer
// must not replace a program that runs on another desktop).
bool ChannelListenerExistsOnAnyDisplay(const std::string& channelName);

// Sends `code` and returns the answer; 0 when nobody listens or no answer came in time.
// Blocks the calling thread meanwhile (the receiver answers from its own event loop).
int SendChannelCode(const std::string& channelName, int code, int timeoutMs = kChannelTimeoutMs);

// The listening side; answers from the event loop of the thread that owns it.
class TChannelListener : public QObject {
  Q_OBJECT
 public:
  // Gets a code, returns the answer.
  using TReceiver = std::function<int(int code)>;

  explicit TChannelListener(std::string channelName, QObject* parent = nullptr);
  // Removes the socket when this listener made it.
  ~TChannelListener() override;
  TChannelListener(const TChannelListener&) = delete;
  TChannelListener& operator=(const TChannelListener&) = delete;

  // Starts listening. False when another process listens on the channel already, or when
  // the socket cannot be made. A socket left behind by a process that died is taken over.
  bool Listen();
  bool Listening() const;
  // Stops listening and removes the socket, only when this listener made it: a process that
  // merely found the channel never takes it away from the one that runs.
  void Remove();

  // Null: connections are closed unanswered.
  void SetReceiver(TReceiver receiver) { receiver_ = std::move(receiver); }
  const std::string& ChannelName() const { return channelName_; }

 private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  std::string channelName_;
  std::unique_ptr<QLocalServer> server_;
  TReceiver receiver_;
};
