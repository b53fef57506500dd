#include "platform/ProcessPriority.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// In a child, so the test program keeps its own priority. Exit code 0: as expected.
int InChild(bool (*check)()) {
  const pid_t pid = fork();
  if (pid == 0) _exit(check() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProcessPriority, HighIsTriedAndNormalReturnsToTheStartValue) {
  EXPECT_EQ(InChild([] {
              const int start = CurrentNiceValue();
              // Without the privilege the raise is refused and nothing changes.
              const bool raised = SetProcessPriority(TProcessPriority::High);
              const int high = CurrentNiceValue();
              if (raised ? high != start - kHighPriorityNiceStep && high != -20 : high != start)
                return false;
              return SetProcessPriority(TProcessPriority::Normal) && CurrentNiceValue() == start &&
                     SetProcessPriority(TProcessPriority::Normal);
            }),
            0);
}

}  // namespace
