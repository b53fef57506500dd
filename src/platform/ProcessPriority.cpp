#include "platform/ProcessPriority.h"

#include <sys/resource.h>

#include <cerrno>

namespace {

int ReadNice() {
  errno = 0;
  const int value = getpriority(PRIO_PROCESS, 0);
  return errno == 0 ? value : 0;
}

// The nice value of the start, taken once.
int BaseNice() {
  static const int base = ReadNice();
  return base;
}

}  // namespace

bool SetProcessPriority(TProcessPriority priority) {
  const int base = BaseNice();
  int target = priority == TProcessPriority::High ? base - kHighPriorityNiceStep : base;
  if (target < -20) target = -20;
  if (ReadNice() == target) return true;
  return setpriority(PRIO_PROCESS, 0, target) == 0;
}

int CurrentNiceValue() { return ReadNice(); }
