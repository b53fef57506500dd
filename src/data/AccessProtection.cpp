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

bool TAccessProtection::Reserve(int& ticket) {
  ticket = 0;
  if (lock_.Locked()) {
    ticket = HandOutTicket();
    return true;
  }
  if (fileName_.empty()) return resultWithoutFile_;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    if (attempt > 1) {
      registry_->Wait(kWaitMs);
      // The wait may have let the program's own events run, and one of them may have
      // taken this reservation meanwhile; a second descriptor would only collide with it.
      if (lock_.Locked()) {
        ticket = HandOutTicket();
        return true;
      }
    }
    if (lock_.TryLock(fileName_) == TFileLockResult::Locked) {
      ticket = HandOutTicket();
      return true;
    }
  }
  return false;
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
