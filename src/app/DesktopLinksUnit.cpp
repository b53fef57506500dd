#include "app/DesktopLinksUnit.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include "app/GlueStateUnit.h"
#include "app/ViewRegistryUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

namespace {

bool IsMailAddress(const std::string& address) {
  return AnsiSameText(Trim(address).substr(0, 7), "mailto:");
}

void TellNoProgramFor(const std::string& address) {
  ShowInfo(MLTranslate(IsMailAddress(address)
                           ? "Es wurde kein E-Mail-Programm gefunden, das diese Adresse \xF6"
                             "ffnen kann."
                           : "Es wurde kein Browser gefunden, der diese Adresse \xF6"
                             "ffnen kann.") +
           "\r\r" + address);
}

// The desktop's opener of addresses, watched: it ends at once with an error when the
// desktop knows no program for the address (no browser, no mail program), which is then
// said. While the opened program runs in its place the opener is left alone, and it is
// not waited for.
bool StartDesktopOpener(const QString& opener, const std::string& address) {
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProgram(opener);
  process->setArguments({ToQString(address)});
  process->setStandardInputFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process,
                   [process, address](int exitCode, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (status == QProcess::NormalExit && exitCode != 0) TellNoProgramFor(address);
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) process->deleteLater();
                   });
  process->start();
  return process->waitForStarted(5000);
}

bool DefaultShellOpen(const std::string& target) {
  const QString text = ToQString(target);
  static const char* const kSchemes[] = {"http:", "https:", "mailto:", "file:", "ftp:"};
  for (const char* scheme : kSchemes) {
    if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) {
      const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
      if (!opener.isEmpty()) return StartDesktopOpener(opener, target);
      return QDesktopServices::openUrl(QUrl(text));
    }
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(PfOsPath(target))));
}

}  // namespace

bool ShellOpen(const std::string& target) {
  const auto& opener = WinGlue().ShellOpener;
  return opener ? opener(target) : DefaultShellOpen(target);
}

bool OpenInternetLink(const std::string& address) {
  if (WinGlue().WebLinks) {
    if (ShellOpen(address)) return true;
    // Nothing would happen on the screen otherwise.
    TellNoProgramFor(address);
    return false;
  }
  ShowInfo(WinText(7) + "\r\r" + address);
  return false;
}

bool OpenInternetLinkFrom(QWidget* control, const std::string& address) {
  if (control) control->setEnabled(false);
  const bool opened = OpenInternetLink(address);
  for (int i = 0; i < 2; ++i) {
    if (WinGlue().Sleeper) WinGlue().Sleeper(200);
    UI().ProcessPendingEvents();
  }
  if (control) control->setEnabled(true);
  return opened;
}

bool ShowTransferDocument(const std::string& name) {
  const std::string path = WinGlue().HelpFolder + "transfer/" + name;
  TPfInfo info;
  if (WinGlue().HelpFolder.empty() || name.empty() || PfStat(path, info) != 0) return false;
  IView* view = ViewOf(pgIssueReturn);
  if (!view) return false;
  view->ShowDocument((path.starts_with("/") ? "file://" : "file:///") + path);
  return true;
}
