// The shipped language file ("System/Tessaro.lng") holds an English entry for every German
// text the program shows: every message table, every caption a window translates, every text
// the code translates by its German wording. The sources are read to find the tables and the
// windows, so a new one that the lists below do not know fails here by its name.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "app/BackupRequesterUnit.h"
#include "app/BackupUnit.h"
#include "app/FrameLoginUnit.h"
#include "app/GlueStateUnit.h"
#include "app/LoginTestSupport.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/SigFormUnit.h"
#include "app/TessaroMain.h"
#include "app/TextSettingsUnit.h"
#include "app/Unit1.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/ChangeLogRowsUnit.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HistoryTableUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportDoorsUnit.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportKwdUnit.h"
#include "import/widgets/BookingForm.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/FixedImportForm.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportProfileUnit.h"
#include "import/widgets/ImportUnit.h"
#include "import/ImportPlanDefUnit.h"
#include "import/ImportPlanUnit.h"
#include "import/ImportXmlUnit.h"
#include "import/widgets/ImportPlanFormUnit.h"
#include "output/CsvOrExcelUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"
#include "output/RtfEditorUnit.h"
#include "output/WordDocumentUnit.h"
#include "program/ProgramRoot.h"
#include "data/TransferRulesUnit.h"
#include "output/MailUnit.h"
#include "views/AuthorisationsFormUnit.h"
#include "views/ContactUnit.h"
#include "views/DBExportUnit.h"
#include "views/FrameCabinetUnit.h"
#include "views/FrameCylsUnit.h"
#include "views/FrameGroupsUnit.h"
#include "views/PinningFormUnit.h"
#include "views/DemoDataUnit.h"
#include "views/MemFormUnit.h"
#include "views/NaviUnit.h"
#include "views/RelationsUnit.h"
#include "views/RenameUnit.h"
#include "views/TourUnit.h"
#include "views/KsToolFormUnit.h"
#include "views/SpecialDeleteUnit.h"
#include "views/ListExportUnit.h"
#include "views/SettingsUnit.h"
#include "views/CabInFrameUnit.h"
#include "views/CategFormUnit.h"
#include "views/FloorPlanUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/FrameDoorsUnit.h"
#include "views/FrameKeysUnit.h"
#include "views/ChangeLogUnit.h"
#include "views/PlanUnit.h"
#include "views/FindFormUnit.h"
#include "views/FrameLimitsUnit.h"
#include "views/FramePersons2Unit.h"
#include "views/FrameUsersUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/SplitUnit.h"

namespace {

namespace fs = std::filesystem;

std::string ShippedFile() {
  return (fs::path(TESSARO_RESOURCE_DIR) / "System" / "Tessaro.lng").string();
}

// The program's sources; the installer and the start-up loader are programs of their own
// that do not read this file.
std::vector<fs::path> ProgramSources() {
  const fs::path root = fs::path(TESSARO_RESOURCE_DIR).parent_path() / "src";
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".cpp") continue;
    const std::string rel = fs::relative(entry.path(), root).generic_string();
    if (rel.rfind("setup/", 0) == 0 || rel.rfind("loader/", 0) == 0) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The functions that make a message table (those whose body calls NewMLStringList), by
// name; a table made elsewhere is named by its file.
std::set<std::string> TableAccessorsInSources() {
  const std::regex accessor(R"(TMLStringList\*\s+(\w+)\(\)\s*\{)");
  std::set<std::string> names;
  for (const fs::path& file : ProgramSources()) {
    if (file.filename() == "MultiLingua.cpp") continue;
    const std::string text = ReadAll(file);
    for (size_t call = text.find("NewMLStringList()"); call != std::string::npos;
         call = text.find("NewMLStringList()", call + 1)) {
      std::string name = "a table outside an accessor in " + file.filename().string();
      const std::string before = text.substr(0, call);
      for (std::sregex_iterator it(before.begin(), before.end(), accessor), end; it != end; ++it)
        name = (*it)[1].str();
      names.insert(name);
    }
  }
  return names;
}

// The bytes of a C++ string literal's body (escapes as the compiler reads them).
std::string Unescape(const std::string& body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 == body.size()) {
      out += body[i];
      continue;
    }
    const char c = body[++i];
    if (c == 'x') {
      int value = 0;
      while (i + 1 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1])))
        value = value * 16 + std::stoi(std::string(1, body[++i]), nullptr, 16);
      out += static_cast<char>(value);
    } else {
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
  }
  return out;
}

bool HasLetter(const std::u16string& text) {
  for (char16_t c : text)
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
        (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7))
      return true;
  return false;
}

// True when the shipped file gives `text` (a German text as the program looks it up) an
// English text; a text without letters needs none.
bool HasEnglish(const tMLSystem& ml, const std::u16string& text) {
  if (!HasLetter(text)) return true;
  int grade = mlgNone;
  ml.TranslateText(text, "DE", "EN", grade);
  return grade >= mlgNoCase;
}

std::string Shown(const std::u16string& text) { return Utf16ToCp1252(text); }

// The German texts without an English entry, each once, in the order met.
class TMissing {
 public:
  explicit TMissing(const tMLSystem& ml) : ml_(ml) {}
  void Check(const std::string& where, const std::u16string& text) {
    if (HasEnglish(ml_, text) || !seen_.insert(text).second) return;
    list_ += "\n  " + where + ": \"" + Shown(text) + "\"";
  }
  void Check(const std::string& where, const std::string& text) {
    Check(where, Cp1252ToUtf16(text));
  }
  const std::string& List() const { return list_; }

 private:
  const tMLSystem& ml_;
  std::set<std::u16string> seen_;
  std::string list_;
};

// The names found in the sources that a test's list lacks, one line each.
template <class TList>
std::string NotListed(const std::set<std::string>& inSources, const TList& list) {
  std::string names;
  for (const std::string& name : inSources)
    if (list.count(name) == 0) names += "\n  " + name;
  return names;
}

// Every message table of the program, by the accessor that makes it.
const std::map<std::string, std::function<const TMLStringList*()>>& KnownTables() {
  static const std::map<std::string, std::function<const TMLStringList*()>> tables = {
      {"AuthorisationsTexts", AuthorisationsTexts},
      {"ImportKeysTexts", ImportKeysTexts},
      {"ImportDoorsTexts", ImportDoorsTexts},
      {"ImportKwdTexts", ImportKwdTexts},
      {"BookingTexts", BookingTexts},
      {"CabInFrameTexts", CabInFrameTexts},
      {"TourTexts", TourTexts},
      {"DefectCylTexts", DefectCylTexts},
      {"FrameCabinetTexts", FrameCabinetTexts},
      {"FrameCylsTexts", FrameCylsTexts},
      {"FrameGroupsTexts", FrameGroupsTexts},
      {"CabinetToolTexts", CabinetToolTexts},
      {"KsToolTexts", KsToolTexts},
      {"SpecialDeleteTexts", SpecialDeleteTexts},
      {"DBExportTexts", DBExportTexts},
      {"DirSelTexts", DirSelTexts},
      {"KeySystemsTexts", KeySystemsTexts},
      {"ListExportTexts", ListExportTexts},
      {"MailTexts", MailTexts},
      {"MandantTexts", MandantTexts},
      {"SettingsTexts", SettingsTexts},
      {"FloorPlanTexts", FloorPlanTexts},
      {"FrameBuildingsTexts", FrameBuildingsTexts},
      {"FrameDoorsTexts", FrameDoorsTexts},
      {"FrameKeysTexts", FrameKeysTexts},
      {"FrameTransferTexts", FrameTransferTexts},
      {"ImportEngineTexts", ImportEngineTexts},
      {"ImportPlanDefTexts", ImportPlanDefTexts},
      {"ImportPlanTexts", ImportPlanTexts},
      {"ImportPlanFormTexts", ImportPlanFormTexts},
      {"ImportXmlTexts", ImportXmlTexts},
      {"BackupFrameTexts", BackupFrameTexts},
      {"BackupMainTexts", BackupMainTexts},
      {"BackupQuestionTexts", BackupQuestionTexts},
      {"CatalogueTexts", CatalogueTexts},
      {"ChangeLogTexts", ChangeLogTexts},
      {"CoreTexts", CoreTexts},
      {"CsvOrExcelTexts", CsvOrExcelTexts},
      {"ExcelReadTexts", ExcelReadTexts},
      {"ImportTexts", ImportTexts},
      {"FrameHistoryTexts", FrameHistoryTexts},
      {"FrameLimitsTexts", FrameLimitsTexts},
      {"FrameLoginTexts", FrameLoginTexts},
      {"FramePersonsTexts", FramePersonsTexts},
      {"FrameUsersTexts", FrameUsersTexts},
      {"FristEdTexts", FristEdTexts},
      {"HistoryTexts", HistoryTexts},
      {"InventoryTexts", InventoryTexts},
      {"KeyBoxTexts", KeyBoxTexts},
      {"LogFilesTexts", LogFilesTexts},
      {"LoginTexts", LoginTexts},
      {"MainFormTexts", MainFormTexts},
      {"MsgDlgTexts", MsgDlgTexts},
      {"MultiItemsDBTable", MultiItemsDBTable},
      {"PlanTexts", PlanTexts},
      {"PrintPreviewTexts", PrintPreviewTexts},
      {"PrintSelectTexts", PrintSelectTexts},
      {"PrintUnitTexts", PrintUnitTexts},
      {"RightTexts", RightTexts},
      {"RtfEditorTexts", RtfEditorTexts},
      {"SplitFormTexts", SplitFormTexts},
      {"SplitRebookTexts", SplitRebookTexts},
      {"TessaroMainTexts", TessaroMainTexts},
      {"TextSettingsTexts", TextSettingsTexts},
      {"TransferTexts", TransferTexts},
      {"WinTexts", WinTexts},
      {"WordDocumentTexts", WordDocumentTexts},
  };
  return tables;
}

struct TShippedLanguage {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  TShippedLanguage() { EXPECT_TRUE(ml.LoadLanguageFile(ShippedFile(), false)) << ShippedFile(); }
};

TEST(LanguageFile, EveryMessageTableHasItsEnglish) {
  TShippedLanguage shipped;
  const std::set<std::string> inSources = TableAccessorsInSources();
  EXPECT_GE(inSources.size(), 30u) << "the sources were not found";
  EXPECT_EQ(NotListed(inSources, KnownTables()), "")
      << "message tables not checked: add their accessors to KnownTables";

  for (const auto& [name, make] : KnownTables()) ASSERT_NE(make(), nullptr) << name;
  TMissing missing(shipped.ml);
  for (const TMLStringList* table : MLStringLists())
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0) missing.Check(table->UnitName(), table->Text(i));
  EXPECT_EQ(missing.List(), "") << "German texts without an English entry";
}

TEST(LanguageFile, EveryTextTranslatedByItsWordingHasItsEnglish) {
  TShippedLanguage shipped;
  // MLTranslate("...") and MLTranslateW(u"...") with the German text written in place.
  const std::regex call(R"re(MLTranslateW?\(\s*u?((?:"(?:[^"\\\n]|\\.)*"\s*)+)\))re");
  const std::regex piece(R"re("((?:[^"\\\n]|\\.)*)")re");
  TMissing missing(shipped.ml);
  int found = 0;
  for (const fs::path& file : ProgramSources()) {
    const std::string text = ReadAll(file);
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
      const std::string literals = (*it)[1].str();
      std::string german;
      for (std::sregex_iterator p(literals.begin(), literals.end(), piece); p != end; ++p)
        german += Unescape((*p)[1].str());
      ++found;
      missing.Check(file.filename().string(), german);
    }
  }
  EXPECT_GT(found, 0);
  EXPECT_EQ(missing.List(), "") << "German texts without an English entry";
}

// The main window after an administrator's login, every page's view made.
struct TLoggedInWindow {
  TLoginEnv env;
  std::unique_ptr<TTessaroForm> form;
  TLoggedInWindow() {
    {
      TStoreMaker maker(env.Data());
      const int32_t admin = maker.User("Admin", "A");
      maker.db.SetField(admin, fkRights, maker.Rights(admin, "2222222222222"));
      maker.db.Commit();
    }
    ResetMainFormRegistries();
    InstallProgramUnits();
    form = std::make_unique<TTessaroForm>();
    form->GuiStartTimerTimer();
    TFrameLogin& login = *form->FrameLogin;
    login.LoginNameCombo->setCurrentIndex(login.LoginNameCombo->findText("Admin"));
    login.LoginPWEd->setText("A");
    login.LoginOkBtnClick();
    for (int page = 0; page < kPageCount; ++page) form->EnsureLazyFrame(page);
  }
  ~TLoggedInWindow() {
    form.reset();
    ResetMainFormRegistries();
    ResetWinGlue();
  }
};

// The windows that translate themselves (TranslateForm(this) in their constructor), by
// class: made on their own here, or shown by the main window (no maker).
using TFormMaker = std::function<std::unique_ptr<QWidget>()>;
const std::map<std::string, TFormMaker>& KnownForms() {
  static const std::map<std::string, TFormMaker> forms = {
      {"TTessaroForm", nullptr},
      {"TFrameMother", nullptr},
      {"TFrameUsers", nullptr},
      {"TFramePersons2", nullptr},
      {"TFrameLimits", nullptr},
      {"TFrameHistory", nullptr},
      {"TFrameBuildings2", nullptr},
      {"TFrameDoors", nullptr},
      {"TFrameKeys", nullptr},
      {"TCabInFrame", nullptr},  // inside TFrameKeys
      {"TFrameTransfer", nullptr},
      {"TFrameCyls", nullptr},
      {"TFrameGroups", nullptr},
      {"TFrameCabinet", nullptr},
      {"TDefectCylForm", [] { return std::make_unique<TDefectCylForm>(nullptr); }},
      {"TPinningForm", [] { return std::make_unique<TPinningForm>(nullptr); }},
      {"TFloorPlanFrame", [] { return std::make_unique<TFloorPlanFrame>(nullptr); }},
      {"TCategForm", [] { return std::make_unique<TCategForm>(); }},
      {"TContactForm", [] { return std::make_unique<TContactForm>(); }},
      {"TDemoDataForm", [] { return std::make_unique<TDemoDataForm>(); }},
      {"TMemForm", [] { return std::make_unique<TMemForm>(); }},
      {"TRenameForm", [] { return std::make_unique<TRenameForm>(); }},
      {"TImportForm", [] { return std::make_unique<TImportForm>(); }},
      {"TKsSelForm", [] { return std::make_unique<TKsSelForm>(); }},
      {"TImportPlanDefForm", [] { return std::make_unique<TImportPlanDefForm>(); }},
      {"TImportPlanForm", [] { return std::make_unique<TImportPlanForm>(); }},
      {"TKsToolForm", [] { return std::make_unique<TKsToolForm>(); }},
      {"TCabinetToolForm", [] { return std::make_unique<TCabinetToolForm>(); }},
      {"TSpecialDeleteForm", [] { return std::make_unique<TSpecialDeleteForm>(); }},
      {"TRelationsForm", [] { return std::make_unique<TRelationsForm>(); }},
      {"TNaviForm", [] { return std::make_unique<TNaviForm>(); }},
      {"TDBExportForm", [] { return std::make_unique<TDBExportForm>(); }},
      {"TDirSelForm", [] { return std::make_unique<TDirSelForm>(); }},
      {"TKeySystemsForm", [] { return std::make_unique<TKeySystemsForm>(); }},
      {"TMandantForm", [] { return std::make_unique<TMandantForm>(); }},
      {"TSettingsForm", [] { return std::make_unique<TSettingsForm>(); }},
      {"TAuthorisationsForm", [] { return std::make_unique<TAuthorisationsForm>(); }},
      {"TKeyBoxForm", [] { return std::make_unique<TKeyBoxForm>(); }},
      {"TFristEdForm", [] { return std::make_unique<TFristEdForm>(); }},
      {"TFindForm", [] { return std::make_unique<TFindForm>(nullptr); }},
      {"TObjectSelWin", [] { return std::make_unique<TObjectSelWin>(nullptr); }},
      {"TSplitForm", [] { return std::make_unique<TSplitForm>(); }},
      {"TSplitRebookForm", [] { return std::make_unique<TSplitRebookForm>(); }},
      {"TIventurForm", [] { return std::make_unique<TIventurForm>(); }},
      {"TChangeLogForm", [] { return std::make_unique<TChangeLogForm>(nullptr); }},
      {"TPlanForm", [] { return std::make_unique<TPlanForm>(nullptr); }},
      {"TTextSettingsForm", [] { return std::make_unique<TTextSettingsForm>(); }},
      {"TSigForm", [] { return std::make_unique<TSigForm>(); }},
      {"TBackupRequesterForm", [] { return std::make_unique<TBackupRequesterForm>(); }},
      {"TSigFrame", nullptr},  // inside TSigForm
      {"TPrintSelectForm", [] { return std::make_unique<TPrintSelectForm>(); }},
      {"TPrintPreviewForm",
       [] {
         static QPrinter printer;
         return std::make_unique<TPrintPreviewForm>(&printer, [](QPrinter*) {});
       }},
      {"TRtfForm", [] { return std::make_unique<TRtfForm>(); }},
      {"TFixedImportForm", [] { return std::make_unique<TImportDoorsForm>(); }},
      {"TBookingForm", [] { return std::make_unique<TBookingForm>(); }},
      {"TConcatCellsForm", [] { return std::make_unique<TConcatCellsForm>(); }},
  };
  return forms;
}

// The classes whose constructor translates the window.
std::set<std::string> TranslatingClasses() {
  const std::regex constructor(R"(\n(T\w+)::\1\()");
  std::set<std::string> classes;
  for (const fs::path& file : ProgramSources()) {
    const std::string text = ReadAll(file);
    std::string current;
    size_t pos = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), constructor), end;; ++it) {
      const size_t next = it == end ? text.size() : static_cast<size_t>(it->position());
      if (!current.empty() &&
          text.substr(pos, next - pos).find("TranslateForm(this)") != std::string::npos)
        classes.insert(current);
      if (it == end) break;
      current = (*it)[1].str();
      pos = next;
    }
  }
  return classes;
}

TEST(LanguageFile, EveryCaptionOfTheWindowsHasItsEnglish) {
  TShippedLanguage shipped;
  const std::set<std::string> classes = TranslatingClasses();
  EXPECT_GE(classes.size(), 15u) << "the sources were not found";
  EXPECT_EQ(NotListed(classes, KnownForms()), "") << "windows not checked: add them to KnownForms";

  TMissing missing(shipped.ml);
  {
    TLoggedInWindow window;
    for (const std::u16string& text : FormSourceTexts(window.form.get()))
      missing.Check("TTessaroForm", text);
  }
  for (const auto& [name, make] : KnownForms()) {
    if (!make) continue;
    std::unique_ptr<QWidget> form = make();
    for (const std::u16string& text : FormSourceTexts(form.get())) missing.Check(name, text);
  }
  EXPECT_EQ(missing.List(), "") << "German captions without an English entry";
}

// An English text keeps the German one's place holders, line breaks, runs of blanks and list
// items.
TEST(LanguageFile, EnglishKeepsPlaceHoldersAndLineBreaks) {
  TShippedLanguage shipped;
  const int de = shipped.ml.LanguageIndex("DE");
  const int en = shipped.ml.LanguageIndex("EN");
  ASSERT_GE(de, 0);
  ASSERT_GE(en, 0);
  auto marks = [](const std::u16string& text) {
    std::multiset<std::u16string> found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == u'%' && text[i + 1] >= u'1' && text[i + 1] <= u'9')
        found.insert(text.substr(i, 2));
      if (text.compare(i, 4, u"#13#") == 0) found.insert(u"#13#");
      if (text.compare(i, 4, u"<br>") == 0 || text.compare(i, 4, u"<BR>") == 0)
        found.insert(u"<br>");
      // A run of blanks lines up columns; its length may differ.
      if (text[i] == u' ' && text[i + 1] == u' ' && (i == 0 || text[i - 1] != u' '))
        found.insert(u"  ");
    }
    // The items of a list the program picks by position.
    for (char16_t c : text)
      if (c == u';') found.insert(u";");
    return found;
  };
  std::string wrong;
  for (const tMLGroup& g : shipped.ml.Entries()) {
    const std::u16string& german = g.Text(de);
    const std::u16string& english = g.Text(en);
    if (german.empty() || english.empty()) continue;
    if (marks(german) != marks(english)) wrong += "\n  " + Shown(german);
  }
  EXPECT_EQ(wrong, "");
}

// The texts `form` shows that are texts in `from` (and not in `to`) that the file has another
// text in `to` for.
std::string NotYetIn(const tMLSystem& ml, QWidget* form, const char* from, const char* to) {
  std::string list;
  std::set<std::u16string> seen;
  std::vector<std::u16string> texts = FormShownTexts(form);
  // Besides the captions: column titles of lists and the items of choice boxes.
  for (QAbstractItemView* view : form->findChildren<QAbstractItemView*>()) {
    const QAbstractItemModel* model = view->model();
    if (!model) continue;
    for (int column = 0; column < model->columnCount(); ++column)
      texts.push_back(model->headerData(column, Qt::Horizontal).toString().toStdU16String());
  }
  // A choice of codes kept out of the translation shows the codes in every language.
  for (QComboBox* box : form->findChildren<QComboBox*>()) {
    if (box->property("tessaroNoTranslate").toBool()) continue;
    for (int i = 0; i < box->count(); ++i) texts.push_back(box->itemText(i).toStdU16String());
  }
  for (const std::u16string& text : texts) {
    if (!HasLetter(text) || !seen.insert(text).second) continue;
    int grade = mlgNone;
    const std::u16string translated = ml.TranslateText(text, from, to, grade);
    if (grade < mlgNoCase || translated == text) continue;
    // A word both languages share ("Name", "Export") is right in either.
    ml.TranslateText(text, to, from, grade);
    if (grade < mlgNoCase) list += "\n  \"" + Shown(text) + "\"";
  }
  return list;
}

// With the shipped file beside it, the language menu offers German and English, and choosing
// English turns the window's menus, pages and the texts the code keeps (holder kinds) into
// English; German brings them back.
TEST(LanguageFile, TheLanguageMenuSwitchesTheWindowBetweenGermanAndEnglish) {
  TShippedLanguage shipped;
  TLoggedInWindow window;
  TTessaroForm& form = *window.form;
  QMenu* languages = form.Language1;
  ASSERT_NE(languages, nullptr);
  std::vector<std::string> offered;
  QAction* english = nullptr;
  QAction* german = nullptr;
  for (QAction* a : languages->actions()) {
    offered.push_back(FromQString(a->text()));
    if (a->text() == "English") english = a;
    if (a->text() == "Deutsch (German)") german = a;
  }
  EXPECT_EQ(offered, (std::vector<std::string>{"Deutsch (German)", "English"}));
  ASSERT_NE(english, nullptr);
  ASSERT_NE(german, nullptr);

  auto menuTitles = [&form] {
    std::vector<std::string> titles;
    for (QAction* a : form.MainMenu1->actions()) titles.push_back(FromQString(a->text()));
    return titles;
  };
  const std::vector<std::string> germanTitles = menuTitles();
  ASSERT_FALSE(germanTitles.empty());
  EXPECT_EQ(germanTitles[0], "Datei");
  EXPECT_EQ(HolderKindNames()[okUnknown], "unbekannt");

  english->trigger();
  EXPECT_EQ(shipped.ml.CurrentLanguage(), "EN");
  EXPECT_EQ(NotYetIn(shipped.ml, &form, "DE", "EN"), "") << "shown in German after the switch";
  EXPECT_EQ(menuTitles()[0], "File");
  EXPECT_EQ(form.PageControl->tabText(pgKeys), "Keys");
  EXPECT_EQ(form.PageControl->tabText(pgDoors), "Doors");
  EXPECT_EQ(HolderKindNames()[okUnknown], "unknown");
  EXPECT_TRUE(english->isChecked());

  german->trigger();
  EXPECT_EQ(shipped.ml.CurrentLanguage(), "DE");
  EXPECT_EQ(NotYetIn(shipped.ml, &form, "EN", "DE"), "") << "shown in English after the switch";
  EXPECT_EQ(menuTitles(), germanTitles);
  EXPECT_EQ(form.PageControl->tabText(pgKeys), ToQString("Schl\xFC"
                                                         "ssel"));
  EXPECT_EQ(HolderKindNames()[okUnknown], "unbekannt");
}

}  // namespace
