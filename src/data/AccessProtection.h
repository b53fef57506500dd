#pragma once
// The write reservation: while a workstation writes a store's shared files it holds the
// store's lock file (title + ".wpf"), and no other workstation can hold it meanwhile.
// Within one program the reservation is re-entrant through tickets: every nested operation
// takes a ticket and returns it, and the lock file is let go with the last ticket.
//
// Everything the program keeps about reservations lives in a TAccessProtectionRegistry:
// the list of instances (one per lock file name), the default instance (the global
// reservation), the ticket counter and the way to wait. The program uses the one that
// AccessProtections() returns; a test makes one registry per simulated workstation, and
// because every instance holds the lock file through its own descriptor, two registries
// on one folder conflict exactly as two workstations do.
//
// Use from one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "platform/RangeLock.h"

// Waits the given number of milliseconds. The program's keeps its window alive meanwhile;
// tests install one that only counts.
using TSleeper = std::function<void(int milliseconds)>;

// Sleeps in short slices and lets the user interface process pending events between them.
void DefaultSleeper(int milliseconds);

class TAccessProtectionRegistry;

// Waiting is fair. A station that finds the lock file held, or finds others waiting for
// it, draws a number from the queue file beside it (".wpq") and marks itself there with a
// byte-range lock at that number; it tries the lock file only while no earlier number is
// marked (the first in line looks every few milliseconds, the others less often). So the
// reservation goes to the longest waiting station soon after the holder lets go, and a
// station that just let go queues behind those already waiting instead of taking it again
// at once. Marks die with their process. A station that has waited for half its time tries
// regardless of its place, so one that stopped looking cannot hold up the line. The whole
// wait lasts no longer than the five attempts 300 ms apart it replaces; without a usable
// queue file those attempts are what happens.
class TAccessProtection {
 public:
  // Attempts to open the lock file, and the wait before each attempt after the first
  // (without a queue file); their product is the longest wait in any case.
  static constexpr int kAttempts = 5;
  static constexpr int kWaitMs = 300;
  static constexpr int kTotalWaitMs = (kAttempts - 1) * kWaitMs;
  // How often the first in line and the others look.
  static constexpr int kFirstPollMs = 1;
  static constexpr int kQueuePollMs = 5;

  ~TAccessProtection();
  TAccessProtection(const TAccessProtection&) = delete;
  TAccessProtection& operator=(const TAccessProtection&) = delete;

  // True and a ticket when this program holds the lock file (again). Without a lock file
  // name: ticket 0 and ResultWithoutFile(). After kAttempts failed attempts: ticket 0,
  // false. Waits only between attempts, through the registry's sleeper.
  bool Reserve(int& ticket);
  // Returns the ticket; with the last ticket the lock file is let go. Negative tickets, 0
  // and tickets not (or no longer) handed out are ignored, so returning a ticket twice
  // cannot end somebody else's reservation.
  void Release(int ticket);

  const std::string& FileName() const { return fileName_; }
  bool Locked() const { return lock_.Locked(); }
  // The open descriptor of the lock file while held, -1 otherwise.
  int Handle() const { return lock_.Handle(); }
  // errno of the last failed attempt to hold the lock file (0 after success).
  int LastError() const { return lock_.LastError(); }
  // Why the last Reserve failed: true when another holder had the lock file (waiting may
  // help), false when the file itself could not be used (a folder in its place, no rights,
  // a read-only disk: LastError() says which; waiting helps nothing). False after success.
  bool LastFailureBusy() const { return lastBusy_; }
  int TicketCount() const { return static_cast<int>(tickets_.size()); }
  int RefCount() const { return refCount_; }
  bool ResultWithoutFile() const { return resultWithoutFile_; }
  void SetResultWithoutFile(bool value) { resultWithoutFile_ = value; }
  TAccessProtectionRegistry& Registry() const { return *registry_; }
  // One reference more; returned through ReleaseAccessProtection.
  void AddRef() { ++refCount_; }

 private:
  friend class TAccessProtectionRegistry;
  TAccessProtection(TAccessProtectionRegistry& registry, std::string fileName);
  int HandOutTicket();
  bool TryOnce();
  bool ReserveByAttempts();
  bool ReserveInLine();
  // True when a number drawn before `number` is still marked in the queue file.
  bool EarlierInLine(std::uint32_t number) const;

  TAccessProtectionRegistry* registry_;
  std::string fileName_;
  TFileLock lock_;
  TRangeLockFile queue_;
  std::vector<int> tickets_;
  bool resultWithoutFile_ = true;
  bool lastBusy_ = false;
  int refCount_ = 0;
};

class TAccessProtectionRegistry {
 public:
  TAccessProtectionRegistry();
  ~TAccessProtectionRegistry();
  TAccessProtectionRegistry(const TAccessProtectionRegistry&) = delete;
  TAccessProtectionRegistry& operator=(const TAccessProtectionRegistry&) = delete;

  // The global reservation: the instance without a file name until the first instance with
  // a file name is made, then that one for good.
  TAccessProtection& Default() { return *default_; }

  // The instance of that lock file name with one reference more, made when there is none.
  // Names are compared exactly: on this system two spellings are two files.
  TAccessProtection* Acquire(const std::string& fileName);
  // One reference less; an instance is freed with its last reference, except the default
  // instance and the one without file name. `instance` becomes null.
  void Release(TAccessProtection*& instance);

  // The next ticket number: the counter + 1, and 1 again after the largest number.
  int NextTicket();

  void SetSleeper(TSleeper sleeper);
  void Wait(int milliseconds);

  int InstanceCount() const { return static_cast<int>(list_.size()); }

 private:
  std::vector<std::unique_ptr<TAccessProtection>> list_;
  TAccessProtection* unnamed_ = nullptr;
  TAccessProtection* default_ = nullptr;
  int ticketCounter_ = 0;
  TSleeper sleeper_;
};

// The program's registry.
TAccessProtectionRegistry& AccessProtections();

// Keeps `instance` when it already stands for that file name; otherwise returns its
// reference and sets it to the registry's instance of that name with one reference more.
void GetAccessProtection(const std::string& fileName, TAccessProtection*& instance,
                         TAccessProtectionRegistry& registry = AccessProtections());
// One reference less (see TAccessProtectionRegistry::Release); `instance` becomes null.
void ReleaseAccessProtection(TAccessProtection*& instance);

// Holds one ticket of a reservation for a scope: reserves on construction, returns the
// ticket on destruction (or earlier through Release).
class TReservation {
 public:
  explicit TReservation(TAccessProtection& protection)
      : protection_(&protection), held_(protection.Reserve(ticket_)) {}
  ~TReservation() { Release(); }
  TReservation(const TReservation&) = delete;
  TReservation& operator=(const TReservation&) = delete;

  bool Held() const { return held_; }
  int Ticket() const { return ticket_; }
  void Release() {
    if (held_) protection_->Release(ticket_);
    held_ = false;
  }

 private:
  TAccessProtection* protection_;
  int ticket_ = 0;
  bool held_;
};
