#pragma once
// The scheduling priority of this process. The program runs at a raised priority while it
// starts and goes back to normal once the login page stands. Linux lets a process lower its
// nice value (raise its priority) only with the privilege to do so (CAP_SYS_NICE or a
// matching RLIMIT_NICE); without it the request is refused and the program carries on at
// the priority it was started with.

enum class TProcessPriority { Normal, High };

// How far "High" lowers the nice value below the one the process was started with.
constexpr int kHighPriorityNiceStep = 5;

// Sets the priority relative to the nice value this process had at its first call (so a
// program started with "nice" keeps that as its normal). False, with nothing changed, when
// the system refused.
bool SetProcessPriority(TProcessPriority priority);

// The nice value now in force.
int CurrentNiceValue();
