// The list exports and the database export from one store: the bytes written, what a
// failure leaves, what leaves the house with the file and what stays untouched.
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "ViewsTestSupport.h"
#include "app/WaitPanelUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/StoreWriteUnit.h"
#include "platform/PlatformFiles.h"
#include "views/DBExportUnit.h"
#include "views/ListExportUnit.h"

namespace {

// The export as it was first written, line by line on a copy of the store's lines: the
// reference the one-pass export must match byte for byte.
namespace reference {

std::string KeyOfItem(const std::string& item) { return item.substr(0, item.find('=')); }

bool IsKey(const std::string& item, const char* key) {
  return AnsiSameText(KeyOfItem(item), key) && item.size() > std::char_traits<char>::length(key) &&
         item[std::char_traits<char>::length(key)] == '=';
}

bool HeaderIs(const std::string& line, const char* name) {
  const size_t n = std::char_traits<char>::length(name);
  return line.size() > n && line[n] == '=' && AnsiSameText(line.substr(0, n), name);
}

void DropKeys(std::vector<std::string>& items, std::initializer_list<const char*> keys) {
  std::erase_if(items, [&](const std::string& item) {
    for (const char* key : keys)
      if (IsKey(item, key)) return true;
    return false;
  });
}

void SetItem(std::vector<std::string>& items, const char* key, const std::string& stored) {
  for (std::string& item : items)
    if (IsKey(item, key)) {
      item = std::string(key) + "=" + stored;
      return;
    }
  items.push_back(std::string(key) + "=" + stored);
}

bool DropRawItems(std::string& line, std::initializer_list<std::string_view> keys) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  const size_t n = line.size();
  std::string out;
  bool dropped = false;
  size_t p = 0;
  while (p < n) {
    const size_t start = p;
    const size_t keyStart = line[p] == '"' ? p + 1 : p;
    if (line[p] == '"') {
      size_t q = p + 1;
      for (;;) {
        q = line.find('"', q);
        if (q == std::string::npos || q + 1 >= n || line[q + 1] != '"') break;
        q += 2;
      }
      p = q == std::string::npos ? n : q + 1;
    }
    const size_t comma = line.find(',', p);
    p = comma == std::string::npos ? n : comma;
    bool drop = false;
    for (std::string_view key : keys) {
      if (keyStart + key.size() >= p || line[keyStart + key.size()] != '=') continue;
      size_t k = 0;
      while (k < key.size() && upper(line[keyStart + k]) == upper(key[k])) ++k;
      if (k == key.size()) drop = true;
    }
    if (drop && !dropped) {
      dropped = true;
      out.reserve(n);
      out.assign(line, 0, start > 0 ? start - 1 : 0);
    } else if (!drop && dropped) {
      if (!out.empty()) out += ',';
      out.append(line, start, p - start);
    }
    if (p < n) ++p;
  }
  if (dropped) line.swap(out);
  return dropped;
}

std::string Export(TMiniDB& db, int flags, const std::string& userName,
                   const std::string& password) {
  db.Commit();
  std::vector<std::string> lines = db.Lines;
  int32_t lastId = db.LastID;
  int personNumber = 0;
  std::vector<std::string> items;
  std::vector<std::string> scratch;
  for (std::string& line : lines) {
    if (flags != 0 && HeaderIs(line, kPendingHistoryHeader)) {
      line.clear();
      continue;
    }
    if (flags == 0) continue;
    TLineInfo info;
    ScanRecordLine(line, scratch, info);
    if (info.id < 1) continue;
    const std::string head = "i=" + std::to_string(info.id) + ",c=" + std::to_string(info.cls);
    if (info.cls == icPerson && (flags & dbxNoPersons)) {
      line = head + ",v=0";
      continue;
    }
    if (info.cls == icUser && (flags & dbxNoUsers)) {
      ParseCommaText(line, items);
      SetItem(items, fkName, ScrambleStr("User"));
      SetItem(items, "v", "0");
      DropKeys(items, {"pw"});
      line = BuildCommaText(items);
      continue;
    }
    if (flags & dbxNoPersons) DropRawItems(line, {fkHolders, "l5"});
    if (info.cls != icPerson || (flags & (dbxPersonNames | dbxPersonDept | dbxPersonNr |
                                          dbxPersonRemark)) == 0)
      continue;
    ParseCommaText(line, items);
    if (flags & dbxPersonNames) {
      SetItem(items, fkName, ScrambleStr("Person" + std::to_string(++personNumber)));
      DropKeys(items, {fkSecondName});
    }
    if (flags & dbxPersonDept) DropKeys(items, {fkDepartment});
    if (flags & dbxPersonNr) DropKeys(items, {fkPersonNumber});
    if (flags & dbxPersonRemark) DropKeys(items, {fkRemark});
    line = BuildCommaText(items);
  }
  std::erase_if(lines, [](const std::string& line) { return line.empty(); });
  if (flags & dbxNewUser) {
    ++lastId;
    lines.push_back(BuildCommaText({"i=" + std::to_string(lastId), "c=" + std::to_string(icUser),
                                    std::string(fkName) + "=" + ScrambleStr(Trim(userName)),
                                    "pw=" + ScrambleStr(AnsiUpperCase(Trim(password)))}));
  }
  bool haveLast = false;
  for (std::string& line : lines)
    if (HeaderIs(line, "LastID")) {
      line = "LastID=" + std::to_string(lastId);
      haveLast = true;
      break;
    }
  if (!haveLast) lines.push_back("LastID=" + std::to_string(lastId));
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

}  // namespace reference

struct TExports : TViewsTest {
  int32_t building = 0, door = 0, bareDoor = 0, key = 0, mueller = 0, nobody = 0, nameless = 0;
  int32_t admin = 0;

  void SetUp() override {
    TViewsTest::SetUp();
    TMiniDB& d = db();
    ReadKeySystemNames(d);
    building = Record(icBuilding, "Haus S\xFC" "d");
    door = Record(icDoor, "T\xFCr 1");
    d.AddLinkBoth(door, building, icBuilding, icDoor);
    d.SetKeySystem(door, 1);
    d.SetField(door, "pos", "EG");
    d.SetField(door, "cyl", "Zyl\tA");
    d.SetField(door, fkLength, "30/30");
    d.SetField(door, fkRemark, "Zeile1\r\nZeile2");
    bareDoor = Record(icDoor, "Nebent\xFCr");
    key = Record(icKey, "S1");
    d.SetKeySystem(key, 1);
    d.SetField(key, fkKeyType, "1");
    d.SetField(key, fkStock, "2");
    d.SetField(key, fkTotal, "3");
    d.SetField(key, fkRemark, "Ersatz");
    mueller = Record(icPerson, "M\xFCller");
    d.SetField(mueller, fkDepartment, "Einkauf");
    d.SetField(mueller, fkPersonNumber, "P-4711");
    d.SetField(mueller, fkRemark, "Geheimnotiz");
    nobody = Record(icPerson, "Ohnekey");
    d.SetField(nobody, fkDepartment, "Lager");
    nameless = d.NewRecord(icPerson);
    d.SetField(nameless, fkDepartment, "Leer");
    admin = Record(icUser, "CHEFIN");
    d.SetField(admin, "pw", "GEHEIMWORT");
    ASSERT_TRUE(d.Commit());
    TStoreWrite write(d, {key, mueller});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(d, key, false, THolderRef{okPerson, mueller}, 1, 0, 0, "", "",
                                 "", "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  std::string Export(TListExport kind) {
    const std::string file = dir.File("out.csv");
    EXPECT_EQ(WriteListExport(db(), kind, file), 0);
    return ReadAllBytes(file);
  }
  static bool Has(const std::string& bytes, const std::string& value) {
    return bytes.find(value) != std::string::npos ||
           bytes.find(ScrambleStr(value)) != std::string::npos;
  }
};

TEST_F(TExports, ListExportsAsWritten) {
  EXPECT_EQ(Export(TListExport::Doors),
            "T\xFCr\tGeb\xE4ude\tSchlie\xDF" "anlage\tPosition\tZylinder\tZyl.-L\xE4nge\tBemerkung\r\n"
            "T\xFCr 1\tHaus S\xFC" "d\tAnlage1\tEG\tZyl A\t30/30\tZeile1  Zeile2\r\n"
            "Nebent\xFCr\t\t\t\t\t\t\r\n");
  EXPECT_EQ(Export(TListExport::Keys),
            "Schl\xFCssel\tSchlie\xDF" "anlage\tSchl\xFCsseltyp\tverf\xFCgbar\tgesamt\tBemerkung\r\n"
            "S1\tAnlage1\tES\t2\t3\tErsatz\r\n");
  EXPECT_EQ(Export(TListExport::Persons),
            "Name\tAbteilung\tNr.\tBemerkung\tSchl\xFCssel\r\n"
            "M\xFCller\tEinkauf\tP-4711\tGeheimnotiz\tS1\r\n"
            "Ohnekey\tLager\t\t\t\r\n");
}

TEST_F(TExports, FailedExportLeavesTheOldFileAndNoPartialFile) {
  const std::string file = dir.File("list.csv");
  WriteAllBytes(file, "old");
  // A folder in the way of the file cannot be replaced.
  std::filesystem::create_directory(dir.File("folder.csv"));
  EXPECT_EQ(WriteListExport(db(), TListExport::Keys, dir.File("folder.csv")), 16);
  EXPECT_EQ(WriteListExport(db(), TListExport::Keys, dir.File("missing/x.csv")), 16);
  EXPECT_EQ(WriteListExport(db(), TListExport::Keys, "/proc/x.csv"), 16);
  EXPECT_EQ(ReadAllBytes(file), "old");
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir()))
    EXPECT_EQ(entry.path().filename().string().find('~'), std::string::npos) << entry.path();
}

TEST_F(TExports, ProposalKeepsAChosenNameHoldingTheListsName) {
  EXPECT_EQ(ListExportProposal("", TListExport::Doors), CoreText(5) + ".csv");
  EXPECT_EQ(ListExportProposal("Meine " + KeysCaption() + " 2.csv", TListExport::Keys),
            "Meine " + KeysCaption() + " 2.csv");
  EXPECT_EQ(ListExportProposal(CoreText(5) + ".csv", TListExport::Persons), PersonTerm() + ".csv");
}

TEST_F(TExports, TheCommandNamesTheFileItCouldNotWriteAndLeavesNoWaitText) {
  QWidget window;
  WinGlue().MainWindow = &window;
  // A folder where no file can be made.
  const std::string target = "/proc/Schl\xFCssel.csv";
  QueueDialogDriver([&](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(chooser, nullptr);
    // The proposal names the list.
    EXPECT_NE(chooser->selectedFiles().value(0).indexOf(ToQString(KeysCaption())), -1);
    chooser->selectFile(ToQString(target));
    static_cast<QDialog&>(dialog).accept();
  });
  RunListExport(TListExport::Keys);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, ListExportText(16) + "\r" + target);
  EXPECT_EQ(WinGlue().WaitPanel, nullptr);
  WinGlue().MainWindow = nullptr;
}

// The next export opens the same dialog in the folder chosen before, with the name chosen
// before when it still names the list, else the list's own name.
TEST_F(TExports, TheSaveDialogKeepsItsFolderAndTheNameThatNamesTheList) {
  std::filesystem::create_directory(dir.File("out"));
  const std::string chosen = dir.File("out/Alle " + KeysCaption() + ".csv");
  QueueDialogDriver([&](QDialog& dialog) {
    static_cast<QFileDialog&>(dialog).selectFile(ToQString(chosen));
    dialog.accept();
  });
  RunListExport(TListExport::Keys);
  TPfInfo written;
  ASSERT_EQ(PfStat(chosen, written), 0);
  EXPECT_EQ(written.kind, TPfKind::File);
  std::string again, doors;
  QueueDialogDriver([&](QDialog& dialog) {
    again = FromQString(static_cast<QFileDialog&>(dialog).selectedFiles().value(0));
    dialog.reject();
  });
  RunListExport(TListExport::Keys);
  QueueDialogDriver([&](QDialog& dialog) {
    doors = FromQString(static_cast<QFileDialog&>(dialog).selectedFiles().value(0));
    dialog.reject();
  });
  RunListExport(TListExport::Doors);
  EXPECT_EQ(again, chosen);
  EXPECT_EQ(doors, dir.File("out/" + CoreText(5) + ".csv"));
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

struct TDialogCase {
  const char* radio;  // "with", "without", "ano"
  bool names, dept, nr, rem, delUsers, newUser;
  int flags;
};

TEST_F(TExports, DialogChoicesGiveTheFlags) {
  const TDialogCase cases[] = {
      {"with", false, false, false, false, false, false, 0},
      {"with", false, false, false, false, true, false, 32},
      {"without", false, false, false, false, false, false, 31},
      {"without", false, false, false, false, true, true, 127},
      {"ano", true, false, false, false, false, false, 1},
      {"ano", false, true, true, true, true, false, 46},
      {"ano", false, false, false, false, false, true, 64},
  };
  for (const TDialogCase& c : cases) {
    TDBExportForm form;
    EXPECT_TRUE(form.DelUsersCheck->isChecked());
    const std::string radio = c.radio;
    (radio == "with" ? form.WithPersonsRadio
                     : radio == "without" ? form.WOPersonsRadio : form.AnoPersonsRadio)
        ->setChecked(true);
    form.AnoNamesCheck->setChecked(c.names);
    form.AnoDeptCheck->setChecked(c.dept);
    form.AnoNrCheck->setChecked(c.nr);
    form.AnoRemCheck->setChecked(c.rem);
    form.DelUsersCheck->setChecked(c.delUsers);
    form.NewUserCheck->setChecked(c.newUser);
    EXPECT_EQ(form.Flags(), c.flags) << c.radio << c.flags;
    if (radio == "ano" && c.flags == 64) {
      EXPECT_TRUE(form.WithPersonsRadio->isChecked());
    }
  }
}

TEST_F(TExports, EachFlagTakesItsValuesOutOfTheFile) {
  struct TFlagCase {
    int flags;
    std::vector<std::string> gone;
    std::vector<std::string> kept;
  };
  const TFlagCase cases[] = {
      {dbxPersonNames, {"M\xFCller", "Ohnekey"}, {"Einkauf", "P-4711", "Geheimnotiz"}},
      {dbxPersonDept, {"Einkauf", "Lager"}, {"M\xFCller", "P-4711"}},
      {dbxPersonNr, {"P-4711"}, {"Einkauf"}},
      {dbxPersonRemark, {"Geheimnotiz"}, {"P-4711"}},
      {31, {"M\xFCller", "Ohnekey", "Einkauf", "P-4711", "Geheimnotiz", "own="}, {"CHEFIN"}},
      {dbxNoUsers, {"CHEFIN", "GEHEIMWORT", "pw="}, {"M\xFCller"}},
  };
  for (const TFlagCase& c : cases) {
    const std::string target = dir.File("out" + std::to_string(c.flags) + ".adaX");
    ASSERT_TRUE(WriteDBExport(db(), c.flags, target, "", ""));
    const std::string bytes = ReadAllBytes(target);
    for (const std::string& value : c.gone) EXPECT_FALSE(Has(bytes, value)) << c.flags << value;
    for (const std::string& value : c.kept) EXPECT_TRUE(Has(bytes, value)) << c.flags << value;
  }
  // The copy opens as a store: the first person is "Person1", deleted records stay deleted.
  std::filesystem::create_directory(dir.File("copy"));
  ASSERT_TRUE(WriteDBExport(db(), dbxPersonNames | dbxNoUsers | dbxNewUser,
                            dir.File("copy/Data.ada"), " Neu ", " geheim "));
  TStation c{"C"};
  ASSERT_TRUE(c->Open(dir.Dir() + "copy/", "Data", "Tessaro"));
  EXPECT_EQ(c->GetField(mueller, fkName), "Person1");
  EXPECT_EQ(c->GetField(nobody, fkName), "Person2");
  EXPECT_FALSE(c->IsValid(admin));
  EXPECT_EQ(c->GetField(admin, fkName), "User");
  EXPECT_EQ(c->GetField(admin, "pw"), "");
  const int32_t added = c->FindByName("Neu", icUser, 0);
  ASSERT_GT(added, 0);
  EXPECT_EQ(c->GetField(added, "pw"), "GEHEIM");
  EXPECT_GT(added, db().LastID);
  EXPECT_EQ(c->GetField(key, fkHolders), db().GetField(key, fkHolders));
}

TEST_F(TExports, PlainCopyIsTheStoresBytesAndLeavesTheLiveFolderAlone) {
  const std::string live = db().FileName;
  const std::string liveBytes = ReadAllBytes(live);
  struct stat before[2];
  const std::string lockFiles[2] = {dir.File("Data.wpf"), dir.File("Data.wpi")};
  bool hasLock[2];
  for (int i = 0; i < 2; ++i) hasLock[i] = stat(lockFiles[i].c_str(), &before[i]) == 0;
  std::vector<std::string> namesBefore;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir()))
    namesBefore.push_back(entry.path().filename().string());

  const std::string target = dir.File(DBExportTarget("Kopie.ada", 0));
  ASSERT_TRUE(WriteDBExport(db(), 0, target, "", ""));
  ASSERT_TRUE(db().SaveTo(dir.File("Ref.ada")));
  EXPECT_EQ(ReadAllBytes(target), ReadAllBytes(dir.File("Ref.ada")));
  std::filesystem::remove(dir.File("Ref.ada"));

  ASSERT_TRUE(WriteDBExport(db(), 127, dir.File("Data.adaX"), "U", "P"));
  EXPECT_EQ(ReadAllBytes(live), liveBytes);
  for (int i = 0; i < 2; ++i) {
    struct stat after;
    EXPECT_EQ(stat(lockFiles[i].c_str(), &after) == 0, hasLock[i]);
    if (hasLock[i]) {
      EXPECT_EQ(after.st_ino, before[i].st_ino) << lockFiles[i];
    }
  }
  std::vector<std::string> added;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) {
    const std::string name = entry.path().filename().string();
    if (std::find(namesBefore.begin(), namesBefore.end(), name) == namesBefore.end())
      added.push_back(name);
  }
  std::sort(added.begin(), added.end());
  EXPECT_EQ(added, (std::vector<std::string>{"Data.adaX", "Kopie.ada"}));
  EXPECT_EQ(DBExportTarget("/x/Data.ada", 5), "/x/Data.adaX");
  EXPECT_EQ(DBExportTarget("/x.y/Data", 0), "/x.y/Data.ada");
}

TEST_F(TExports, OnePassExportMatchesTheLineByLineExportForEveryFlagSet) {
  // A generated store: every class the flags touch, links to persons and users, holder
  // lines, values with commas, quotes, blanks and umlauts, long lines; then raw lines the
  // program would not write but a file may hold.
  TMiniDB& d = db();
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto text = [&](int length) {
    static const char chars[] = "abcXYZ ,\"=;|\xE4\xDF" "09";
    std::string t;
    for (int k = 0; k < length; ++k) t += chars[pick(0, sizeof chars - 2)];
    return t;
  };
  const int classes[] = {icBuilding, icDoor, icKey, icPerson, icPerson, icUser};
  std::vector<int32_t> persons{mueller, nobody}, users{admin}, all;
  for (int k = 0; k < 240; ++k) {
    const int cls = classes[pick(0, 5)];
    const int32_t id = Record(cls, text(pick(1, 12)));
    if (cls == icPerson) {
      persons.push_back(id);
      d.SetField(id, fkSecondName, text(5));
      d.SetField(id, fkDepartment, text(pick(0, 8)));
      d.SetField(id, fkPersonNumber, text(3));
    }
    if (cls == icUser) users.push_back(id);
    if (cls == icKey) d.SetField(id, fkHolders, "5:" + std::to_string(persons.back()) + ";1;;|");
    if (pick(0, 2) == 0) d.SetField(id, fkRemark, text(pick(1, 90)));
    if (cls != icPerson && pick(0, 1) == 0) d.AddLinkBoth(id, persons[pick(0, static_cast<int>(persons.size()) - 1)], icPerson, cls);
    if (cls != icUser && pick(0, 3) == 0) d.AddLinkBoth(id, users[pick(0, static_cast<int>(users.size()) - 1)], icUser, cls);
    all.push_back(id);
  }
  ASSERT_TRUE(d.Commit());
  const std::string raw[] = {
      "",
      "i=9001,c=4,,own=\"a\",OWN=b,l5=1;2,\"l1=x,y\",L1=3,\"q=\"\"a,b\"\"\",z=1",
      "i=9002,c=3,\"own=unterminated,l5=2",
      "i=9003,c=3,l5=,l1,l10=4,l5x=1,own=9,",
      "i=9004,c=5,n=abc,\"n2=x y\",Abt=1,Nr=2,r=3,l1=7,l5=8",
      "i=9005,c=5,l1=1,,,n=z",
      "i=9006,c=1,n=u,pw=X,l5=1",
      "i=9007,c=4,,,own=2,,x",
      "i=9008,c=4,l5=1,\"r=" + std::string(150, ',') + "\",l1=2,own=\"\"",
      "lastid=77",
      std::string(kPendingHistoryHeader) + "=9001",
      "I=9009,C=7,L5=3,\"OwN=1\"x,y",
      "own=1,i=9010,c=4,x=2",
      ",own=1,,i=9011,c=3,l1=5,y",
      "i=9012,c=4,\"r=\"\"x,own=1,l5=2\"\"\",l1=3",
  };
  for (const std::string& line : raw) d.Lines.push_back(line);
  for (int flags = 0; flags < 128; ++flags) {
    const std::string expected = reference::Export(d, flags, " Neu ", " geheim ");
    const std::string got = DBExportBytes(d, flags, " Neu ", " geheim ");
    ASSERT_EQ(got, expected) << "flags " << flags;
  }
}

}  // namespace
