#pragma once
// The program with the end-to-end test driver (tests/automation), started in a process of
// its own as a user starts it from the test workstation's program folder, offscreen.

#include <string>
#include <utility>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include "LoginTestSupport.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

struct TAutomatedRun {
  bool started = false;
  bool finished = false;  // within the time given; a program still running then is killed
  int exitCode = -1;
  QProcess::ExitStatus exitStatus = QProcess::NormalExit;
  std::string out, err;
};

using TAutomationVariables = std::vector<std::pair<std::string, std::string>>;

// The folder the pictures go to, ending with "/": the one TESSARO_AUTOMATION_SHOTS names when
// it is set (to look at the pictures after the run), else the test's own.
inline std::string AutomationShotsFolder(const std::string& own) {
  const QString wanted = qEnvironmentVariable("TESSARO_AUTOMATION_SHOTS");
  std::string folder = wanted.isEmpty() ? own : wanted.toStdString();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// Runs the program on env's workstation with the driver's variables on top of this
// process's environment.
inline TAutomatedRun RunAutomatedProgram(const TLoginEnv& env,
                                         const TAutomationVariables& variables,
                                         int timeoutMs = 45000) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("TESSARO_INSTANCE_DIR", QString::fromStdString(env.dir.Dir()));
  for (const auto& [name, value] : variables)
    environment.insert(QString::fromStdString(name), QString::fromStdString(value));
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::SeparateChannels);
  program.start(TESSARO_AUTOMATED_PROGRAM,
                {QString::fromStdString("ActAsOriginExe:" + env.Prog() + "Tessaro")});
  TAutomatedRun run;
  run.started = program.waitForStarted(10000);
  if (!run.started) return run;
  run.finished = program.waitForFinished(timeoutMs);
  if (!run.finished) {
    program.kill();
    program.waitForFinished(5000);
  }
  run.exitCode = program.exitCode();
  run.exitStatus = program.exitStatus();
  run.out = program.readAllStandardOutput().toStdString();
  run.err = program.readAllStandardError().toStdString();
  return run;
}
