#pragma once
// Ending the application and the messages between the program's processes: a second start
// asks the running window to come to the front (code 2), the window tells the start-up
// loader to close its splash (code 1). The window, the login and the main block all call
// these; the unit knows none of them.

// The message code a second start sends so that the running window comes to the front.
constexpr int kCopyDataActivate = 2;
// The message code the window sends to the start-up loader: ready, close the splash.
constexpr int kCopyDataLoaderReady = 1;

// True once the application was told to end (TerminateApplication or a termination signal).
bool ApplicationTerminated();
// Tells the application to end: the message loop ends, or is not entered.
void TerminateApplication();
// Back to "not told" (tests).
void ResetApplicationTerminated();

// Sends code 2 to the running instance's window and returns its answer (0: none answered).
int NotifyRunningInstance();
// Sends code 1 to the start-up loader when one runs and returns its answer; 0 and nothing
// done when none runs. Sending it more than once is harmless.
int NotifyLoader();
