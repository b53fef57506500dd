#include "data/AccessProtection.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

#include "basic/UserInteraction.h"

void DefaultSleeper(int milliseconds) {
  using namespace std::chrono;
  const auto until = steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    UI().ProcessPendingEvents();
    const auto now = steady_clock::now();
    if (now >= until) break;
    std::this_thread::sleep_for(std::min<steady_clock::duration>(until - now, 25ms));
  }
}

// ---- TAccessProtection ----

TAccessProtection::TAccessProtection(TAccessProtectionRegistry& registry, std::string fileName)
    : registry_(&registry), fileName_(std::move(fileName)) {}

TAccessProtection::~TAccessProtection() = default;

int TAccessProtection::HandOutTicket() {
  const int ticket = registry_->NextTicket();
  tickets_.push_back(ticket);
  return ticket;
}

namespace {

// Queue marks lie at 1 + number modulo the span; byte 0 guards the counter.
constexpr std::int64_t kQueueSpan = std::int64_t{1} << 24;
// How far back a number still counts as earlier: far more stations than ever wait at once.
constexpr std::uint32_t kQueueWindow = 1u << 16;

std::int64_t MarkOffset(std::uint32_t number) { return 1 + number % kQueueSpan; }

std::string QueueFileName(const std::string& lockFileName) {
  const size_t n = lockFileName.size();
  if (n >= 4 && (lockFileName.compare(n - 4, 4, ".wpf") == 0 ||
                 lockFileName.compare(n - 4, 4, ".WPF") == 0))
    return lockFileName.substr(0, n - 4) + ".wpq";
  return lockFileName + ".wpq";
}

}  // namespace

bool TAccessProtection::TryOnce() {
  if (lock_.Locked()) return true;
  const TFileLockResult result = lock_.TryLock(fileName_);
  lastBusy_ = result == TFileLockResult::Busy;
  return result == TFileLockResult::Locked;
}

bool TAccessProtection::Reserve(int& ticket) {
  ticket = 0;
  if (lock_.Locked()) {
    ticket = HandOutTicket();
    return true;
  }
  if (fileName_.empty()) return resultWithoutFile_;
  const bool queued = queue_.Open(QueueFileName(fileName_));
  bool got;
  if (!queued) {
    got = ReserveByAttempts();
  } else {
    // Free and nobody in line: at once. Otherwise behind those already waiting.
    got = (!queue_.HeldByOther(1, kQueueSpan, true) && TryOnce()) || ReserveInLine();
  }
  if (got) {
    lastBusy_ = false;
    ticket = HandOutTicket();
  }
  return got;
}

bool TAccessProtection::ReserveByAttempts() {
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    // The wait may have let the program's own events run, and one of them may have
    // taken this reservation meanwhile; TryOnce then uses that hold.
    if (attempt > 1) registry_->Wait(kWaitMs);
    if (TryOnce()) return true;
  }
  return false;
}

bool TAccessProtection::EarlierInLine(std::uint32_t number) const {
  const std::uint32_t first = number - kQueueWindow;
  const std::int64_t from = MarkOffset(first);
  const std::int64_t to = MarkOffset(number);  // exclusive
  if (from < to) return queue_.HeldByOther(from, to - from, true);
  // The window wraps around the end of the span.
  return queue_.HeldByOther(from, 1 + kQueueSpan - from, true) ||
         (to > 1 && queue_.HeldByOther(1, to - 1, true));
}

bool TAccessProtection::ReserveInLine() {
  std::uint32_t number = 0;
  if (!queue_.DrawNumber(number) || !queue_.TryHold(MarkOffset(number), 1, true))
    return ReserveByAttempts();
  bool got = false;
  for (int waited = 0; waited < kTotalWaitMs && !got;) {
    const bool first = waited >= kTotalWaitMs / 2 || !EarlierInLine(number);
    const int step = std::min(first ? kFirstPollMs : kQueuePollMs, kTotalWaitMs - waited);
    registry_->Wait(step);
    waited += step;
    if (lock_.Locked()) break;  // the program's own events took it meanwhile
    if (waited < kTotalWaitMs / 2 && EarlierInLine(number)) continue;
    got = TryOnce();
  }
  queue_.Drop(MarkOffset(number), 1);
  return got || lock_.Locked();
}

void TAccessProtection::Release(int ticket) {
  if (ticket <= 0) return;
  auto it = std::find(tickets_.begin(), tickets_.end(), ticket);
  if (it == tickets_.end()) return;
  tickets_.erase(it);
  if (tickets_.empty()) lock_.Unlock();
}

// ---- TAccessProtectionRegistry ----

TAccessProtectionRegistry::TAccessProtectionRegistry() : sleeper_(DefaultSleeper) {
  list_.push_back(std::unique_ptr<TAccessProtection>(new TAccessProtection(*this, "")));
  unnamed_ = default_ = list_.back().get();
  unnamed_->refCount_ = 1;
}

TAccessProtectionRegistry::~TAccessProtectionRegistry() = default;

TAccessProtection* TAccessProtectionRegistry::Acquire(const std::string& fileName) {
  for (const auto& p : list_) {
    if (p->fileName_ == fileName) {
      ++p->refCount_;
      return p.get();
    }
  }
  list_.push_back(std::unique_ptr<TAccessProtection>(new TAccessProtection(*this, fileName)));
  TAccessProtection* made = list_.back().get();
  made->refCount_ = 1;
  if (default_ == unnamed_ && !fileName.empty()) {
    default_ = made;
    ++made->refCount_;  // the registry's own reference: the default stays for good
  }
  return made;
}

void TAccessProtectionRegistry::Release(TAccessProtection*& instance) {
  TAccessProtection* p = std::exchange(instance, nullptr);
  if (!p) return;
  if (p->refCount_ > 0) --p->refCount_;
  if (p->refCount_ > 0 || p == default_ || p == unnamed_) return;
  list_.erase(std::remove_if(list_.begin(), list_.end(),
                             [p](const std::unique_ptr<TAccessProtection>& q) {
                               return q.get() == p;
                             }),
              list_.end());
}

int TAccessProtectionRegistry::NextTicket() {
  ticketCounter_ = ticketCounter_ >= INT_MAX || ticketCounter_ < 0 ? 1 : ticketCounter_ + 1;
  return ticketCounter_;
}

void TAccessProtectionRegistry::SetSleeper(TSleeper sleeper) {
  sleeper_ = sleeper ? std::move(sleeper) : TSleeper(DefaultSleeper);
}

void TAccessProtectionRegistry::Wait(int milliseconds) { sleeper_(milliseconds); }

TAccessProtectionRegistry& AccessProtections() {
  // Never destroyed: stores that live until the program ends still return their
  // references at exit, and the system lets go of the lock files with the process.
  static TAccessProtectionRegistry* registry = new TAccessProtectionRegistry;
  return *registry;
}

void GetAccessProtection(const std::string& fileName, TAccessProtection*& instance,
                         TAccessProtectionRegistry& registry) {
  if (instance && &instance->Registry() == &registry && instance->FileName() == fileName) return;
  if (instance) instance->Registry().Release(instance);
  instance = registry.Acquire(fileName);
}

void ReleaseAccessProtection(TAccessProtection*& instance) {
  if (instance) instance->Registry().Release(instance);
}
