// The record store file: names, grammar, record lines, reading and indexing.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MiniDBTestSupport.h"
#include "basic/BasicsUnit.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"

namespace {

const std::vector<std::string> kNewStoreLines = {"\x01", "LastID=0", "FileTitle=",
                                                 "AppName=Tessaro", "AppOptions="};

// Runs `body` in a child process, whose rights can be taken without touching this one's,
// and gives its exit code (0: every expectation held; -1: it did not exit). The folder is
// open to this process again afterwards.
int ExitCodeInChild(const TTempDir& dir, const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) _exit(body());
  int status = 0;
  const bool waited = waitpid(child, &status, 0) == child;
  chmod(dir.Dir().c_str(), 0755);
  return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Root writes into every folder and file: a child that must lack rights goes on as nobody.
bool LeaveRootRights() { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); }

}  // namespace

TEST(MiniDBFile, RecordLineRoundTrip) {
  // Each value goes through a save and a fresh read on a second store object, once in a
  // rotated field and once in a plain one.
  const std::string values[] = {
      "a,b",       "two words", "say \"hi\"", "x;y",  "k=v", "tab\there",
      "\xE4\xF6\xFC\xDF \x80\xFF", " lead", "trail ", ",", "\"", "=;=,\"",
  };
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  std::vector<int32_t> ids;
  for (const std::string& v : values) {
    int32_t id = a->NewRecord(3);
    ASSERT_GT(id, 0);
    a->SetField(id, "r", v);    // rotated
    a->SetField(id, "l7", v);   // plain
    ids.push_back(id);
  }
  ASSERT_TRUE(a->Commit());
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  for (size_t i = 0; i < ids.size(); ++i) {
    SCOPED_TRACE(values[i]);
    EXPECT_EQ(b->GetField(ids[i], "r"), values[i]);
    EXPECT_EQ(b->GetField(ids[i], "l7"), values[i]);
    // Rotated values never stand readable in the file (only ";" and "=" survive rotation).
    EXPECT_EQ(b->Lines[b->IndexLine[ids[i]]].find(values[i] + "xx"), std::string::npos);
  }
  // The ID and class stay readable, the name does not.
  int32_t named = b->NewNamedRecord(5, "Meier", "");
  ASSERT_TRUE(b->Commit());
  std::string line = FileLines(dir.File("Data.ada"))[b->IndexLine[named]];
  EXPECT_EQ(line.rfind("i=" + std::to_string(named) + ",c=5,n=", 0), 0u) << line;
  EXPECT_EQ(line.find("Meier"), std::string::npos);
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

TEST(MiniDBFile, QuotingOfRecordLines) {
  struct Case {
    std::string value;
    std::string stored;  // the item as it stands in the line ("l7" is plain)
  } cases[] = {
      {"1;2", "l7=1;2"},
      {"a b", "\"l7=a b\""},
      {"a,b", "\"l7=a,b\""},
      {"a\"b", "\"l7=a\"\"b\""},
      {"a\tb", "\"l7=a\tb\""},
      {"\xE4", "l7=\xE4"},
  };
  for (const Case& c : cases) {
    TQStringList fields;
    fields.Add("i=1");
    fields.Add("l7=" + c.value);
    EXPECT_EQ(BuildRecordLine(fields), "i=1," + c.stored) << c.value;
  }
}

TEST(MiniDBFile, ReadingItemsOfALine) {
  TTempDir dir;
  WriteStore(dir, {"LastID=3", "i=1,c=3,a=b c", "i=2,c=3,", "  i=3 , c=4,\"x=1,2\""});
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  TQStringList fields;
  a->GetRecordLines(1, fields);
  ASSERT_EQ(fields.Count(), 4);  // "a=b c" is two items
  EXPECT_EQ(fields.Get(2), "a=b");
  EXPECT_EQ(fields.Get(3), "c");
  a->GetRecordLines(2, fields);
  ASSERT_EQ(fields.Count(), 3);  // a trailing comma gives an empty last item
  EXPECT_EQ(fields.Get(2), "");
  EXPECT_EQ(a->GetClass(3), 4);
  EXPECT_EQ(a->GetField(3, "x"), UnscrambleStr("1,2"));
}

TEST(MiniDBFile, MissingFileStartsANewStoreAndWritesNothingBeforeTheFirstSave) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  EXPECT_TRUE(a->NewFile);
  EXPECT_EQ(a->Lines, kNewStoreLines);
  EXPECT_EQ(a->LastID, 0);
  EXPECT_EQ(a->Load(), ldUnchanged);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Data.ada")));
  int32_t id = a->NewNamedRecord(2, "Haus A", "");
  ASSERT_EQ(id, 1);
  ASSERT_TRUE(a->Commit());
  std::vector<std::string> lines = FileLines(dir.File("Data.ada"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "LastID=1");
  EXPECT_EQ(lines[3], "AppName=Tessaro");
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

TEST(MiniDBFile, MissingFolderIsCreated) {
  TTempDir dir;
  TStation a("A");
  std::string folder = dir.Dir() + "sub/deeper/";
  ASSERT_TRUE(a->Open(folder, "Data", "Tessaro"));
  ASSERT_GT(a->NewRecord(3), 0);
  EXPECT_TRUE(std::filesystem::exists(folder + "Data.ada"));
}

// A folder where the store file belongs is no missing store: an error, and nothing made.
TEST(MiniDBFile, AFolderInTheStoresPlaceIsAnErrorNotANewStore) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("Data.ada"));
  TScopedRecorder ui;
  TStation a("A");
  EXPECT_FALSE(a.Open(dir));
  EXPECT_EQ(a->OpenResult, ldReadError);
  EXPECT_NE(ui.AllText().find(MultiItemsDBText(7)), std::string::npos) << ui.AllText();
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("Data.ada")));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("Data.ada")));
}

// A folder with one record; station A opens it, `takeRights` narrows what may be done in
// it, and A creates a record as a user other than root. The child's exit code: 0 when the
// creation failed and said that the folder takes no new file (text 11) and, with
// `notTextOne`, not that the reservation could not be had.
static int CreateRecordWithRightsTaken(const TTempDir& dir,
                                       const std::function<void()>& takeRights,
                                       bool notTextOne) {
  {
    TStation setup("setup");
    if (!setup.Open(dir) || setup->NewRecord(3) <= 0) return 1;
  }
  return ExitCodeInChild(dir, [&] {
    TScopedRecorder ui;
    TStation a("A");
    if (!a.Open(dir)) return 2;
    takeRights();
    if (!LeaveRootRights()) return 3;
    if (a->NewRecord(3) != 0) return 4;
    const std::string said = ui.AllText();
    if (said.find(MultiItemsDBTextFmt(11, dir.Dir())) == std::string::npos) {
      fprintf(stderr, "said: %s\n", said.c_str());
      return 5;
    }
    return notTextOne && said.find(MultiItemsDBText(1)) != std::string::npos ? 6 : 0;
  });
}

// A station that may no longer write in the data folder is told so when it creates a
// record, not that the reservation could not be had.
TEST(MiniDBFile, CreatingARecordWithoutWriteRightsSaysSo) {
  TTempDir dir;
  // The rights go while the store is open (as a user leaves a group).
  EXPECT_EQ(CreateRecordWithRightsTaken(dir,
                                        [&] {
                                          chmod(dir.File("Data.wpf").c_str(), 0444);
                                          chmod(dir.Dir().c_str(), 0555);
                                        },
                                        false),
            0);
}

// The lock files are there and usable, so the reservation is had; only the folder takes
// no new file. Making the record fails for want of rights, and that is what is said.
TEST(MiniDBFile, CreatingARecordInAFolderWithoutRightsBesideUsableLockFilesSaysSo) {
  TTempDir dir;
  EXPECT_EQ(CreateRecordWithRightsTaken(dir,
                                        [&] {
                                          for (const char* ext : {".wpf", ".wpi", ".wpl", ".wpq"})
                                            chmod(dir.File(std::string("Data") + ext).c_str(),
                                                  0666);
                                          chmod(dir.File("Data.ada").c_str(), 0644);
                                          chmod(dir.Dir().c_str(), 0555);
                                        },
                                        true),
            0);
}

// A lock file that cannot be used at all (a folder in its place, one the station may not
// open) is told apart from one another station holds: waiting helps only then.
TEST(MiniDBFile, ALockFileThatCannotBeUsedIsToldApartFromABusyOne) {
  TTempDir dir;
  {
    TStation setup("setup");
    ASSERT_TRUE(setup.Open(dir));
    ASSERT_GT(setup->NewRecord(3), 0);
  }
  // Held by another station: busy, no error of the file.
  {
    TStation other("B");
    ASSERT_TRUE(other.Open(dir));
    int ticket = -1;
    ASSERT_TRUE(other->AccessProtection->Reserve(ticket));
    TStation a("A");
    EXPECT_FALSE(a.Open(dir));
    EXPECT_EQ(a->OpenResult, ldNoAccess);
    EXPECT_EQ(a->LockFileError, 0);
    other->AccessProtection->Release(ticket);
  }
  // A folder in its place.
  std::filesystem::remove(dir.File("Data.wpf"));
  std::filesystem::create_directory(dir.File("Data.wpf"));
  {
    TStation a("A");
    EXPECT_FALSE(a.Open(dir));
    EXPECT_EQ(a->OpenResult, ldNoAccess);
    EXPECT_EQ(a->LockFileError, EISDIR);
  }
  std::filesystem::remove(dir.File("Data.wpf"));
  // Not readable and writable for this user (root opens anything: another user's child).
  {
    TStation setup("setup");
    ASSERT_TRUE(setup.Open(dir));
  }
  chmod(dir.File("Data.wpf").c_str(), 0600);
  chmod(dir.Dir().c_str(), 0755);
  for (const char* ext : {".wpi", ".wpl", ".wpq", ".ada"})
    chmod(dir.File(std::string("Data") + ext).c_str(), 0666);
  EXPECT_EQ(ExitCodeInChild(dir,
                            [&] {
                              if (geteuid() != 0) chmod(dir.File("Data.wpf").c_str(), 0);
                              if (!LeaveRootRights()) return 3;
                              TScopedRecorder ui;
                              TStation a("A");
                              if (a.Open(dir)) return 4;
                              if (a->OpenResult != ldNoAccess) return 5;
                              return a->LockFileError == EACCES ? 0 : 6;
                            }),
            0);
}

TEST(MiniDBFile, FolderWithAnUmlautIsTheOneOnDisk) {
  // The program spells the folder in 1252; on disk it is UTF-8. Both stations must find
  // the same file, and no second folder may appear beside the real one.
  TTempDir dir;
  const std::string folder = dir.Dir() + "Schl\xFC" "ssel/";
  std::filesystem::create_directory(dir.Path() / std::filesystem::u8path("Schl\xC3\xBCssel"));
  TStation a("A");
  ASSERT_TRUE(a->Open(folder, "Data", "Tessaro"));
  int32_t id = a->NewRecord(3);
  ASSERT_GT(id, 0);
  a->SetField(id, "n", "T\xFC" "r 1");
  ASSERT_TRUE(a->Commit());
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / std::filesystem::u8path("Schl\xC3\xBCssel") / "Data.ada"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()), 1);
  TStation b("B");
  ASSERT_TRUE(b->Open(folder, "Data", "Tessaro"));
  EXPECT_EQ(b->GetName(id), "T\xFC" "r 1");
}

TEST(MiniDBFile, FallbackToAdaXOnlyWhenAdaIsMissing) {
  TTempDir dir;
  WriteStore(dir, {"LastID=1", "i=1,c=3,n=" + ScrambleStr("X")}, "Data.adaX");
  {
    TStation a("A");
    ASSERT_TRUE(a.Open(dir));
    EXPECT_EQ(a->Ext, ".adaX");
    EXPECT_EQ(a->FileName, dir.File("Data.adaX"));
    EXPECT_EQ(a->GetName(1), "X");
  }
  WriteStore(dir, {"LastID=1", "i=1,c=3,n=" + ScrambleStr("A")});
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  EXPECT_EQ(b->Ext, ".ada");
  EXPECT_EQ(b->GetName(1), "A");
}

TEST(MiniDBFile, HeaderLinesAreFoundAnywhereIgnoringCase) {
  TTempDir dir;
  WriteStore(dir, {"i=1,c=3", "appname=Tessaro", "i=2,c=3", "LASTID=7", "KeysystemNames=a,b"});
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  EXPECT_EQ(a->LastID, 7);
  EXPECT_EQ(a->GetHeaderValue("AppName"), "Tessaro");
  EXPECT_EQ(a->GetHeaderValue("keysystemnames"), "a,b");
  EXPECT_EQ(a->GetHeaderValue("FileTitle"), "");
  ASSERT_TRUE(a->SetHeaderValue("FileTitle", "Werk 1"));
  ASSERT_TRUE(a->SetHeaderValue("lastid", "7"));
  std::vector<std::string> lines = FileLines(dir.File("Data.ada"));
  EXPECT_EQ(lines.back(), "FileTitle=Werk 1");  // a missing header is appended
  EXPECT_EQ(lines[4], "LastID=7");
}

TEST(MiniDBFile, AHeaderValueThatWouldReadAsARecordIsRefusedAndNothingIsWritten) {
  TTempDir dir;
  WriteStore(dir, {"LastID=2", "i=1,c=3", "i=2,c=3"});
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  a->SetField(1, "n", "edited");  // a record being edited stays unsaved
  const std::string before = ReadAllBytes(dir.File("Data.ada"));
  struct Case { const char* name; const char* value; };
  const Case refused[] = {
      {"Foo", "a,i=7"}, {"Foo", "a, I=7"}, {"i", "7"}, {"a,i", "7"}, {"Foo", "x,\"i=7\""},
      {"", "x"}, {"a=b", "x"},
  };
  for (const Case& c : refused) {
    EXPECT_TRUE(TMiniDB::HeaderValueRefused(c.name, c.value)) << c.name << "=" << c.value;
    EXPECT_FALSE(a->SetHeaderValue(c.name, c.value)) << c.name << "=" << c.value;
  }
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
  EXPECT_EQ(a->LastID, 2);
  EXPECT_FALSE(a->HasRecord(7));
  EXPECT_TRUE(a->CurrentModified);
  // What reads as no record is taken, and reads back as the header it is.
  for (const Case& c : {Case{"Foo", "a,b=7"}, Case{"Foo", "i=x"}, Case{"Foo", "ix=7"}}) {
    EXPECT_FALSE(TMiniDB::HeaderValueRefused(c.name, c.value)) << c.value;
    ASSERT_TRUE(a->SetHeaderValue(c.name, c.value)) << c.value;
    TStation b("B");
    ASSERT_TRUE(b.Open(dir));
    EXPECT_EQ(b->GetHeaderValue("Foo"), c.value);
    EXPECT_EQ(b->LastID, 2);
  }
}

TEST(MiniDBFile, Indexing) {
  TTempDir dir;
  WriteStore(dir, {
      "LastID=10",
      "i=1,c=3,n=" + ScrambleStr("first"),
      "i=2,c=300",
      "i=0,c=3",
      "i=-4,c=3",
      "i=x,c=3",
      "i=3,c=4,v=0",
      "i=4,c=4,v=1",
      "i=5,c=4,v=",
      "i=6,c=4",
      "i=1,c=5,n=" + ScrambleStr("second"),
      "i=12,c=abc",
  });
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  EXPECT_EQ(a->LastID, 12);  // raised from the lines
  EXPECT_EQ(a->GetHeaderValue("LastID"), "12");
  EXPECT_EQ(a->GetClass(1), 5);  // the later line wins
  EXPECT_EQ(a->GetName(1), "second");
  EXPECT_EQ(a->GetDisplayName(1), "second");
  EXPECT_EQ(a->GetClass(2), 0);   // class outside 0..255
  EXPECT_EQ(a->GetClass(12), 0);  // class not a number
  EXPECT_FALSE(a->IsValid(3));    // v=0
  EXPECT_TRUE(a->IsValid(4));
  EXPECT_TRUE(a->IsValid(5));
  EXPECT_TRUE(a->IsValid(6));
  EXPECT_FALSE(a->HasRecord(7));
  EXPECT_EQ(a->IndexLine.size(), 13u);
  TItemList list;
  a->ListClass(4, list);
  EXPECT_EQ(list.Count(), 4);
  a->ListClassValid(4, list);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(a->ClassCount[4], 4);
  a->ListClass(0, list);
  EXPECT_EQ(list.Count(), 2);  // 2 and 12
  // The new record goes behind the raised ID.
  EXPECT_EQ(a->NewRecord(3), 13);
}

// The index scanner takes shortcuts for the common line form; whatever the form, it must
// read what the comma-text reader reads (the first "i", "c", "v" and "n", keys in any case).
TEST(MiniDBFile, LineScannerReadsWhatTheCommaTextReaderReads) {
  auto expected = [](const std::string& line) {
    std::vector<std::string> items;
    ParseCommaText(line, items);
    TLineInfo ref;
    bool haveI = false, haveC = false, haveV = false;
    for (const std::string& item : items) {
      if (item.size() < 2 || item[1] != '=') continue;
      const std::string value = item.substr(2);
      switch (item[0] & ~0x20) {
        case 'I': if (!haveI) ref.id = StrToIntZero(value), haveI = true; break;
        case 'C': if (!haveC) ref.cls = StrToByteZero(value), haveC = true; break;
        case 'V': if (!haveV) ref.valid = value != "0", haveV = true; break;
        case 'N': if (!ref.hasName) ref.rawName = value, ref.hasName = true; break;
      }
    }
    return ref;
  };
  std::vector<std::string> lines = {
      "i=7,c=4,n=abc", "i=7,c=4,n=abc,r=x", "i=7,c=4,\"n=a\"\"b c\",r=x",
      "i=7,c=4,\"n=open", "i=7,c=4,n=abc,v=0", "i=7,c=4,n=abc,\"V=0\"", "i=7,c=4,n=abc,r=xv=0",
      "i=7,c=4,n=a,v=1,v=0", "i=7,c=300,n=a", "i=0123,c=04,n=a", "i=1234567890,c=4,n=a",
      "i=99999999999,c=4,n=a", "i=7, c=4,n=a", "i=7 ,c=4,n=a", "I=7,c=4,n=a", "i=7,C=4,n=a",
      "i=7,c=4,N=a", "i=7,c=4,n=", "i=7,c=4,n=a b,v=0", "i=,c=4,n=a", "i=7,c=4", "i=7,c=4,",
      "c=4,i=7,n=a", "i=7,c=4,n=a,n=b", "i=7,c=4,i=8,n=a", "  i=7,c=4,n=a", "i=7,,c=4,n=a",
      "i=$1F,c=4,n=a", "i=-3,c=4,n=a", "i=7,c=4,\"n=x\",v=0", "i=7,c=4,\"n=x\"v=0",
  };
  // "v=0" and "v=" at every distance from the name, across whole blocks of the search.
  for (size_t pad = 0; pad < 140; ++pad) {
    const std::string head = "i=7,c=4,n=a,r=" + std::string(pad, 'w');
    lines.push_back(head);
    lines.push_back(head + ",v=0");
    lines.push_back(head + "v=0");
    lines.push_back(head + ",V=");
  }
  std::vector<std::string> scratch;
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    TLineInfo info, ref = expected(line);
    info.rawName = "left over";
    ScanRecordLine(line, scratch, info);
    EXPECT_EQ(info.id, ref.id);
    EXPECT_EQ(info.cls, ref.cls);
    EXPECT_EQ(info.valid, ref.valid);
    EXPECT_EQ(info.hasName, ref.hasName);
    EXPECT_EQ(info.rawName, ref.rawName);
  }
}

TEST(MiniDBFile, FirstLine) {
  struct Case {
    const char* name;
    std::string bytes;
    bool plain;
  } cases[] = {
      {"plain", "\x01\r\nLastID=1\r\ni=1,c=3\r\n", true},
      {"empty file", "", false},
      {"LF only", "\x01\nLastID=1\ni=1,c=3\n", false},
      {"CR only", "\x01\rLastID=1\r", false},
      {"enciphered header", std::string("\x02\x00", 2) + "ABCDEFGHIJKL\r\nxyz", false},
      {"text", "LastID=1\r\ni=1,c=3\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTempDir dir;
    TScopedRecorder ui;
    WriteAllBytes(dir.File("Data.ada"), c.bytes);
    TStation a("A");
    EXPECT_EQ(a.Open(dir), c.plain);
    if (c.plain) {
      EXPECT_TRUE(ui.messages.empty());
      continue;
    }
    EXPECT_TRUE(a->LoadErrorReadOnly);
    EXPECT_EQ(a->Load(), ldNotOpen);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(8) + "\r" + dir.File("Data.ada"));
    EXPECT_EQ(a->NewRecord(3), 0);
    a->Close();
    EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), c.bytes);
    EXPECT_FALSE(std::filesystem::exists(dir.File("Data.ada.bak")));
  }
}

// The bytes of a file read without the file (the fuzz target's way in) must give exactly
// what opening the file gives, and refuse exactly what opening refuses.
TEST(MiniDBFile, BytesReadWithoutTheFileAsOpenReadsTheFile) {
  const std::string name = "n=" + ScrambleStr("Tor");
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"plain", StoreBytes({"LastID=2", "i=1,c=3," + name, "i=2,c=4,v=0"})},
      {"LastID raised by a line", StoreBytes({"LastID=1", "i=5,c=3", "i=1,c=300"})},
      {"no LastID, no final line end", "\x01\r\nFoo=1\r\ni=2,c=3," + name},
      {"lone CR and LF, end mark", "\x01\r\nLastID=0\ri=1,c=3\ni=2,c=3\x1A"},
      {"only the first line", "\x01\r\n"},
      {"empty", ""},
      {"LF only", "\x01\nLastID=1\ni=1,c=3\n"},
      {"text", "LastID=1\r\ni=1,c=3\r\n"},
      {"ID beyond the lines", StoreBytes({"LastID=0", "i=2000000,c=3"})},
      {"LastID beyond the lines", StoreBytes({"LastID=2000000"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTempDir dir;
    WriteAllBytes(dir.File("Data.ada"), c.bytes);
    TStation file("A");
    const bool opened = file.Open(dir);

    TScopedRecorder ui;
    TMiniDB bytes;
    EXPECT_EQ(bytes.LoadFromBytes(c.bytes), opened ? ldRead : ldReadError);
    EXPECT_FALSE(bytes.Opened);
    EXPECT_EQ(bytes.LoadErrorReadOnly, !opened);
    EXPECT_EQ(bytes.Lines, file->Lines);
    EXPECT_EQ(bytes.LastID, file->LastID);
    EXPECT_EQ(bytes.IndexLine, file->IndexLine);
    EXPECT_EQ(bytes.ClassOf, file->ClassOf);
    EXPECT_EQ(bytes.Valid, file->Valid);
    EXPECT_EQ(bytes.Names, file->Names);
    EXPECT_EQ(bytes.Names2, file->Names2);
    if (opened) {
      EXPECT_TRUE(ui.messages.empty());
      EXPECT_EQ(bytes.NewRecord(3), 0);  // no file to claim the ID in
    } else {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(8));
    }
  }
}

TEST(MiniDBFile, RereadOfADamagedFileKeepsTheStoreOpenAndReadOnly) {
  TTempDir dir;
  TScopedRecorder ui;
  WriteStore(dir, {"LastID=1", "i=1,c=3,n=" + ScrambleStr("Tor")});
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  WriteAllBytes(dir.File("Data.ada"), "garbage\r\n");
  EXPECT_EQ(a->Load(), ldReadError);
  EXPECT_TRUE(a->Opened);
  EXPECT_TRUE(a->LoadErrorReadOnly);
  EXPECT_EQ(a->GetName(1), "Tor");  // the lines read before stay
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST(MiniDBFile, NewRecordLineAndLastIDHeader) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewRecord(17);
  EXPECT_EQ(a->Lines.back(), "i=1,c=17");
  EXPECT_EQ(a->GetRecordText(id), "i=1,c=17");
  EXPECT_EQ(a->NewRecord(0), 0);
  EXPECT_EQ(a->NewRecord(256), 0);
  EXPECT_EQ(FileLines(dir.File("Data.ada"))[1], "LastID=1");
}

TEST(MiniDBFile, GuidFormat) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  for (int i = 0; i < 162; ++i) a->NewRecord(3);
  int32_t id = a->NewRecord(3);
  ASSERT_EQ(id, 163);
  a->LocalNow = [] { return 1.0; };  // bit pattern 3FF0000000000000
  std::string guid = a->GetGUID(id);
  EXPECT_EQ(guid, "00A3.3FF0000000000000");
  a->LocalNow = [] { return 2.0; };
  EXPECT_EQ(a->GetGUID(id), guid);  // kept once made
  EXPECT_EQ(a->FindByGUID(guid, 0), id);
  EXPECT_EQ(a->FindByGUID(guid, 3), id);
  // A GUID whose ID part points elsewhere is still found by the scan.
  int32_t other = a->NewRecord(4);
  a->GetGUID(other, "0001.FFFF");
  EXPECT_EQ(a->FindByGUID("0001.FFFF", 4), other);
  EXPECT_EQ(a->FindByGUID("0001.FFFF", 3), 0);
}
