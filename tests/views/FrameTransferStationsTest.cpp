// Two workstations in two processes issue the last piece of a key at the same moment
// through the issue-and-return view: exactly one books it, the other is told why and books
// nothing, and the stock never falls below 0 without a confirmation.
//
// The stations are this test program started twice more, each running only the station's
// test (TESSARO_TRANSFER_STATION names the folder, the station, the key and the person).
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <QCheckBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <unistd.h>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"
#include "views/FrameTransferUnit.h"

namespace {

std::vector<std::string> Split(const std::string& text, char at) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(at, start)) != std::string::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

bool WaitForFile(const std::string& file, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  TPfInfo info;
  while (PfStat(file, info) != 0) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// One station: prepares the issue, says it is ready, books when told to, and writes what
// happened: "1" or "0", then every question and message it met.
TEST(FrameTransferStation, IssuesTheKeyWhenTold) {
  const char* given = std::getenv("TESSARO_TRANSFER_STATION");
  if (!given) GTEST_SKIP() << "a station of TransferTwoProcesses";
  const std::vector<std::string> parts = Split(given, '|');
  ASSERT_EQ(parts.size(), 4u);
  const std::string folder = parts[0], name = parts[1];
  const int32_t key = StrToIntZero(parts[2]), person = StrToIntZero(parts[3]);
  TStation station(name);
  station.registry.SetSleeper([](int ms) { usleep(static_cast<useconds_t>(ms) * 1000); });
  station.db->LocalNow = {};
  ASSERT_TRUE(station.db->Open(folder, "Data", "Tessaro"));
  THistory history{&station.registry};
  history.SetFolder(folder);
  THistoryScope historyScope(history);
  TScopedRecorder ui;  // every question answered "Nein"
  ResetViewRegistry();
  ResetSession();
  ClientSession().LendStore(station.db.get());
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  ResetTransferRec();
  {
    TFrameTransfer view(nullptr);
    RegisterView(pgIssueReturn, &view);
    TTransferStartRequest request;
    request.kind = tkIssue;
    request.holderId = person;
    request.keys = {key};
    ASSERT_TRUE(StartTransfer(request));
    view.PrintCheck->setChecked(false);
    WriteAllBytes(folder + "ready-" + name, "");
    ASSERT_TRUE(WaitForFile(folder + "go", 20));
    const bool booked = view.TransferApplyBtnClick();
    std::string report = booked ? "1" : "0";
    for (const std::string& q : ui.questions) report += "\nQ " + q;
    for (const TRecordedMessage& m : ui.messages) report += "\nM " + m.text;
    WriteAllBytes(folder + "result-" + name, report);
    UnregisterView(pgIssueReturn, &view);
  }
  ResetTransferRec();
  ResetSession();
}

TEST(TransferTwoProcesses, TheLastPieceIsIssuedOnceWhenTwoStationsBookAtOnce) {
  TTempDir dir;
  int32_t key = 0, person = 0;
  {
    TStation maker("M");
    ASSERT_TRUE(maker.Open(dir));
    const int32_t cabinet = maker->NewNamedRecord(icCabinet, "Schrank", "");
    person = maker->NewNamedRecord(icPerson, "Anna", "");
    key = maker->NewNamedRecord(icKey, "Letzter", "");
    maker->SetField(key, fkStock, "1");
    maker->SetField(key, fkTotal, "1");
    maker->AddLinkBoth(key, cabinet, icCabinet, icKey);
    ASSERT_TRUE(maker->Commit());
  }
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
  std::vector<std::unique_ptr<QProcess>> stations;
  for (const char* name : {"A", "B"}) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TESSARO_TRANSFER_STATION",
               QString::fromStdString(dir.Dir() + "|" + name + "|" + std::to_string(key) + "|" +
                                      std::to_string(person)));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(QString::fromLocal8Bit(self), {"--gtest_filter=FrameTransferStation.*"});
    ASSERT_TRUE(p->waitForStarted(10000));
    stations.push_back(std::move(p));
  }
  for (const char* name : {"A", "B"})
    ASSERT_TRUE(WaitForFile(dir.File(std::string("ready-") + name), 60)) << name;
  WriteAllBytes(dir.File("go"), "");
  for (auto& p : stations) {
    ASSERT_TRUE(p->waitForFinished(60000));
    EXPECT_EQ(p->exitCode(), 0) << p->readAll().toStdString();
  }

  std::vector<std::string> results;
  for (const char* name : {"A", "B"})
    results.push_back(ReadAllBytes(dir.File(std::string("result-") + name)));
  const int booked = (results[0].rfind("1", 0) == 0) + (results[1].rfind("1", 0) == 0);
  EXPECT_EQ(booked, 1) << results[0] << "\n---\n" << results[1];
  // The other was asked with the stock it would take below 0, said "Nein" and booked nothing.
  const std::string& other = results[0].rfind("0", 0) == 0 ? results[0] : results[1];
  EXPECT_NE(other.find("Letzter (Bestand: 0)"), std::string::npos) << other;

  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->GetField(key, fkStock), "0");
  EXPECT_EQ(reader->GetField(key, fkHolders).find(';'), std::string::npos);
  std::string history;
  std::vector<TPfFolderEntry> entries;
  PfListFolder(dir.Dir(), entries);
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0) history += ReadAllBytes(dir.Dir() + e.name);
  int issues = 0;
  for (size_t at = history.find("a=Trans2"); at != std::string::npos;
       at = history.find("a=Trans2", at + 1))
    ++issues;
  EXPECT_EQ(issues, 1) << history;
}

}  // namespace
