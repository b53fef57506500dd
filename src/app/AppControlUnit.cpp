#include "app/AppControlUnit.h"

#include <QCoreApplication>

#include "basic/widgets/InstanceChannel.h"

namespace {

bool gTerminated = false;

}  // namespace

bool ApplicationTerminated() { return gTerminated; }

void TerminateApplication() {
  gTerminated = true;
  QCoreApplication::exit(0);
}

void ResetApplicationTerminated() { gTerminated = false; }

int NotifyRunningInstance() { return SendChannelCode(kInstanceChannelName, kCopyDataActivate); }

int NotifyLoader() { return SendChannelCode(kLoaderChannelName, kCopyDataLoaderReady); }
