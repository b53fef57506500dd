#include "app/DesktopLinksUnit.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "app/GlueStateUnit.h"
#include "app/ViewRegistryUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

namespace {

bool DefaultShellOpen(const std::string& target) {
  const QString text = ToQString(target);
  static const char* const kSchemes[] = {"http:", "https:", "mailto:", "file:", "ftp:"};
  for (const char* scheme : kSchemes) {
    if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
      return QDesktopServices::openUrl(QUrl(text));
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(PfOsPath(target))));
}

}  // namespace

bool ShellOpen(const std::string& target) {
  const auto& opener = WinGlue().ShellOpener;
  return opener ? opener(target) : DefaultShellOpen(target);
}

bool OpenInternetLink(const std::string& address) {
  if (WinGlue().WebLinks) return ShellOpen(address);
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
