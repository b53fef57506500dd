#include "views/ListExportUnit.h"

#include <QFileDialog>
#include <QImage>
#include <QTabWidget>

#include "app/GridExportUnit.h"
#include "app/PictureUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/MailUnit.h"
#include "platform/PlatformFiles.h"

const TMLStringList* ListExportTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ListExportUnit", 0);
    t->Add255Obj("Export l\xE4uft ...", 15);
    t->Add255Obj("Fehler beim Erzeugen von Datei", 16);
    t->Add255Obj("Fehler beim Schreiben von Datei", 17);
    t->Add255Obj("Screenshot per E-Mail versenden?", 36);
    t->Add255Obj("Bildschirmfoto vom Tessaro", 37);
    t->Add255Obj("Screenshot siehe Anhang", 38);
    return t;
  }();
  return table;
}

namespace {

std::string Line(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    line += ExportCell(fields[i]);
  }
  return line;
}

// The keys the person holds (holdings of kind person), by display name.
std::string HeldKeys(TMiniDB& db, int32_t person) {
  TItemList keys;
  db.ReadLinks(person, icKey, keys);
  std::string text;
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    if (!db.IsValid(key) || db.GetClass(key) != icKey) continue;
    bool holds = false;
    for (const THolderEntry& entry : LoadHolderRecs(db, key, false))
      if (entry.Kind == okPerson && entry.HolderId == person) holds = true;
    if (!holds) continue;
    if (!text.empty()) text += ", ";
    text += db.GetDisplayName(key);
  }
  return text;
}

bool FolderThere(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

std::string FolderOfFile(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
}

constexpr const char* kListExportTexts[] = {"T\xFCr", "Geb\xE4ude", "Schlie\xDF" "anlage",
                                            "Position", "Zylinder", "Zyl.-L\xE4nge", "Bemerkung"};

}  // namespace

std::string ListExportText(int number) { return GetMLText(ListExportTexts(), number); }

std::vector<std::string> ListExportLines(TMiniDB& db, TListExport kind) {
  std::vector<std::string> lines;
  int cls = icDoor;
  switch (kind) {
    case TListExport::Doors:
      lines.push_back(Line({std::begin(kListExportTexts), std::end(kListExportTexts)}));
      break;
    case TListExport::Keys:
      cls = icKey;
      lines.push_back(Line({"Schl\xFCssel", "Schlie\xDF" "anlage", "Schl\xFCsseltyp",
                            "verf\xFCgbar", "gesamt", "Bemerkung"}));
      break;
    case TListExport::Persons:
      cls = icPerson;
      lines.push_back(Line({"Name", DepartmentTerm(), "Nr.", "Bemerkung", "Schl\xFCssel"}));
      break;
  }
  TItemList items;
  db.ListClassValid(cls, items);
  lines.reserve(static_cast<size_t>(items.Count()) + 1);
  for (int32_t i = 0; i < items.Count(); ++i) {
    const int32_t id = items.Get(i);
    std::vector<std::string> fields;
    switch (kind) {
      case TListExport::Doors: {
        const int32_t building = db.ReadFirstLink(id, icBuilding);
        fields = {db.GetDisplayName(id),
                  building != 0 && db.IsValid(building) ? db.GetDisplayName(building) : "",
                  ItemKeySystemName(db, id),
                  db.GetField(id, "pos"),
                  db.GetField(id, "cyl"),
                  db.GetField(id, fkLength),
                  ItemRemarkLine(db, id)};
        break;
      }
      case TListExport::Keys:
        fields = {db.GetDisplayName(id), ItemKeySystemName(db, id), KeyTypeAbbrev(db, id),
                  db.GetField(id, fkStock), db.GetField(id, fkTotal), ItemRemarkLine(db, id)};
        break;
      case TListExport::Persons:
        fields = {db.GetField(id, fkName), db.GetField(id, fkDepartment),
                  db.GetField(id, fkPersonNumber), ItemRemarkLine(db, id), HeldKeys(db, id)};
        break;
    }
    if (fields.front().empty()) continue;
    lines.push_back(Line(fields));
  }
  return lines;
}

std::string ListExportName(TListExport kind) {
  switch (kind) {
    case TListExport::Doors: return CoreText(5);
    case TListExport::Keys: return KeysCaption();
    case TListExport::Persons: return PersonTerm();
  }
  return {};
}

std::string ListExportProposal(const std::string& current, TListExport kind) {
  const std::string name = ListExportName(kind);
  if (!current.empty() && current.find(name) != std::string::npos) return current;
  return name + ".csv";
}

namespace {

// Whether a file of that name can be made: not a folder, and a file can be created beside
// it (a probe, removed at once). The safe save may still fail later, while writing.
bool CanCreateFile(const std::string& fileName) {
  if (fileName.empty() || fileName.back() == '/') return false;
  const std::string folder = FolderOfFile(fileName);
  TPfInfo info;
  if (!FolderThere(folder) || (PfStat(fileName, info) == 0 && info.kind == TPfKind::Folder))
    return false;
  std::string probe;
  int fd = -1;
  if (PfCreateUnique(folder, ".", ".probe", probe, fd) != 0) return false;
  PfClose(fd);
  PfUnlink(probe);
  return true;
}

}  // namespace

int WriteListExport(TMiniDB& db, TListExport kind, const std::string& fileName) {
  if (!CanCreateFile(fileName)) return 16;
  return SaveTextFileSafe(ListExportLines(db, kind), fileName, false) ? 0 : 17;
}

std::unique_ptr<QFileDialog> ExportSaveDialog(const std::string& folder) {
  auto dialog =
      std::make_unique<QFileDialog>(WinGlue().MainWindow.data(), ToQString("Tabelle exportieren"));
  dialog->setObjectName("ExportSaveDialog");
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setNameFilter(QStringLiteral("CSV (Text-Tabelle) (*.csv)"));
  dialog->setDefaultSuffix(QStringLiteral("csv"));
  if (!folder.empty()) dialog->setDirectory(ToQString(folder));
  return dialog;
}

void RunListExport(TListExport kind) {
  if (!Session().LoggedIn) {
    ShowError(CoreText(30));
    return;
  }
  if (RightDenied(rtPrintLists)) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  // The dialog's folder and file name, kept for the run: the next export starts there.
  static std::string folder, current;
  const std::unique_ptr<QFileDialog> chooser = ExportSaveDialog(folder);
  QFileDialog& dialog = *chooser;
  current = ListExportProposal(current, kind);
  dialog.selectFile(ToQString(current));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::string file = FromQString(dialog.selectedFiles().first());
  current = file.substr(file.rfind('/') + 1);
  folder = file.substr(0, file.rfind('/') + 1);
  ShowWaitText(ListExportText(15));
  const int error = WriteListExport(*db, kind, file);
  HideWaitText();
  if (error != 0) ShowError(ListExportText(error) + "\r" + file);
}

void ExportDoors1Click() { RunListExport(TListExport::Doors); }
void ExportKeys1Click() { RunListExport(TListExport::Keys); }
void ExportPersons1Click() { RunListExport(TListExport::Persons); }

void Screenshot1Click() {
  QTabWidget* pages = WinGlue().PageControl.data();
  if (!pages) return;
  const QImage picture = pages->grab().toImage().convertToFormat(QImage::Format_RGB888);
  QFileDialog dialog(WinGlue().MainWindow.data());
  dialog.setObjectName("ScreenshotSaveDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("JPEG (*.jpg)"));
  dialog.setDefaultSuffix(QStringLiteral("jpg"));
  const bool chosen = ExecModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  UI().ProcessPendingEvents();
  if (!chosen) return;
  const std::string file = FromQString(dialog.selectedFiles().first());
  if (!SaveBitmapAsJpegFile(picture, 0, file)) return;
  if (AskYesNo(ListExportText(36)) != mrYes) return;
  UI().ProcessPendingEvents();
  SendMailWithAttachment(ListExportText(37), ListExportText(38), "", "", "", "", file,
                         file.substr(file.rfind('/') + 1), true);
}
