#include "app/ManualUnit.h"

#include "basic/ParamsUnit.h"
#include "basic/UserInteraction.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessStart.h"

namespace {

TDocumentOpener& DocumentOpener() {
  static TDocumentOpener opener;
  return opener;
}

bool OpenWithDesktop(const std::string& file) {
  TProcessStartOptions options;
  options.detach = true;
  return StartProcess("xdg-open", {file}, options).started;
}

}  // namespace

std::string ManualFileName(const std::string& folder) {
  std::string base = folder.empty() ? GetProgramFolder() : folder;
  if (base.back() != '/') base += '/';
  for (const std::string& name :
       {CoreText(44), std::string("Anleitung TESSARO.pdf"), std::string("Anleitung.pdf")}) {
    TPfInfo info;
    if (PfStat(base + name, info) == 0 && info.kind == TPfKind::File) return base + name;
  }
  return {};
}

void SetDocumentOpener(TDocumentOpener opener) { DocumentOpener() = std::move(opener); }

bool OpenManual(const std::string& folder) {
  const std::string file = ManualFileName(folder);
  if (file.empty()) {
    // Name the file looked for, so the user knows what to put where.
    std::string base = folder.empty() ? GetProgramFolder() : folder;
    if (!base.empty() && base.back() != '/') base += '/';
    UI().ShowMessage(TMsgKind::Error, CoreText(43) + "\r" + base + CoreText(44));
    return false;
  }
  return DocumentOpener() ? DocumentOpener()(file) : OpenWithDesktop(file);
}

