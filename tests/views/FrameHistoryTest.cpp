// The history view: the grid of a record's lines read beside the writers, its buttons, the
// search by name with the picker, print and export, and the delete command that deletes
// nothing.
#include "views/FrameHistoryUnit.h"

#include <cerrno>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gmock/gmock.h>

#include "ViewsTestSupport.h"
#include "basic/FileCtrl2.h"
#include "basic/SLUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryTableUnit.h"
#include "output/FakePrinterServices.h"
#include "platform/PlatformFiles.h"
#include "views/ChangeLogUnit.h"
#include "views/FindFormUnit.h"

namespace {

struct TFrameHistoryTest : TViewsTest {
  std::unique_ptr<QWidget> page;
  TFrameHistory* frame = nullptr;
  TStandInView keys, persons;
  int32_t key = 0, key2 = 0, person = 0, user = 0;
  const std::string d = "d=2024-03-05\xA0" "10:00:00";

  void SetUp() override {
    TViewsTest::SetUp();
    key = Record(icKey, "K1");
    key2 = Record(icKey, "K12");
    person = Record(icPerson, "Meier");
    user = Record(icUser, "ADMIN");
    page = std::make_unique<QWidget>();
    frame = new TFrameHistory(page.get());
    RegisterView(pgHistory, frame);
    page->show();
  }
  void TearDown() override {
    page.reset();
    TViewsTest::TearDown();
  }
  void Line(const std::string& year, std::vector<std::string> items) {
    ASSERT_TRUE(history.Add(year, BuildCommaText(items)));
  }
  std::string Cell(int row, int column) { return frame->Model->CellText(row, column); }
  void Show(int32_t id) {
    frame->ShowHistoryOf(id);
    frame->WaitComplete();
  }
  void Select(int row) {
    frame->HistoryGrid->selectionModel()->clearSelection();
    frame->HistoryGrid->SelectRow(row);
    frame->HistoryGridClick();
  }
};

}  // namespace

// The lines of a key, oldest first, the newest selected; the view reads them beside the
// writer and leaves its history writing alone.
TEST_F(TFrameHistoryTest, ShowsTheLinesOfARecord) {
  Line("2023", {"a=New", "d=2023-01-02\xA0" "08:00:00", "o=" + Obj(key), "stock=1"});
  Line("2024", {"a=Trans2", d, "o=" + Obj(key), "dest=" + Obj(person), "u=" + Obj(user),
                "emb=7", "stock=0 / 1"});
  Line("2024", {"a=New", d, "o=" + Obj(key2)});
  Line("2024", {"a=Trans3", "d=2024-03-06\xA0" "09:30:00", "o=" + Obj(key),
                "src=" + Obj(person), "emb=7", "stock=1 / 1"});
  const std::string before = HistoryBytes();
  Show(key);
  ASSERT_EQ(frame->Model->rowCount(), 3);
  EXPECT_EQ(frame->ShownClass(), icKey);
  EXPECT_EQ(frame->ShownCaption(), ClassCaption(icKey, false) + " K1");
  EXPECT_EQ(Cell(0, 0), "02.01.2023 08:00");
  EXPECT_EQ(Cell(1, 4), "Meier");
  EXPECT_EQ(Cell(1, 6), FrameHistoryText(24) + " 06.03.2024 09:30");
  EXPECT_EQ(Cell(2, 6), FrameHistoryText(23) + " 05.03.2024 10:00");
  EXPECT_EQ(Cell(1, 7), "ADMIN");
  EXPECT_TRUE(frame->HistoryGrid->selectionModel()->isRowSelected(2, QModelIndex()));
  EXPECT_EQ(FromQString(frame->TypeCombo->currentText()), KeyCaption());
  EXPECT_EQ(HistoryBytes(), before);
  EXPECT_TRUE(history.Enabled());

  // The filters: only transfers, only one identifier.
  Line("2024", {"a=Trans2", d, "o=" + Obj(key), "dest=" + Obj(person), "emb=8"});
  frame->TransferOnlyCheck->setChecked(true);
  frame->WaitComplete();
  EXPECT_EQ(frame->Model->rowCount(), 3);
  frame->KennCombo->setEditText("8");
  frame->RefreshView();
  frame->WaitComplete();
  ASSERT_EQ(frame->Model->rowCount(), 1);
  EXPECT_EQ(Cell(0, 3), "8");
  frame->KennCombo->setEditText("9");
  frame->RefreshView();
  frame->WaitComplete();
  ASSERT_EQ(frame->Model->rowCount(), 0);
  EXPECT_EQ(FromQString(frame->StatusLabel->text()), FrameHistoryText(7));
  // Said in the grid's place too, over the whole of it; a row found takes it away.
  ASSERT_TRUE(frame->NoEntriesLabel->isVisible());
  EXPECT_EQ(FromQString(frame->NoEntriesLabel->text()), FrameHistoryText(7));
  EXPECT_EQ(frame->NoEntriesLabel->geometry(), frame->HistoryGrid->viewport()->rect());
  frame->KennCombo->setEditText("8");
  frame->RefreshView();
  frame->WaitComplete();
  EXPECT_FALSE(frame->NoEntriesLabel->isVisible());
}

// A new record shown while the last one is still being read: only the new one's rows.
TEST_F(TFrameHistoryTest, ANewRecordStopsTheReadingBefore) {
  std::vector<std::string> lines;
  std::string bytes = "\x01\r\n";
  for (int i = 0; i < 20000; ++i)
    bytes += BuildCommaText({"a=Inv", d, "o=" + Obj(i % 2 ? key : key2), "r=" + std::string(80, 'x')}) + "\r\n";
  WriteAllBytes(history.FileNameOf(2024), bytes);
  frame->ShowHistoryOf(key2);
  frame->ShowHistoryOf(key);
  frame->WaitComplete();
  EXPECT_EQ(frame->ShownId(), key);
  ASSERT_EQ(frame->Model->rowCount(), 10000);
  for (int row : {0, 5000, 9999}) EXPECT_EQ(frame->Model->Row(row)->objId, key);
}

// Buttons of a row: the keys and persons views must exist; the return only while the
// holder still holds the key; time travel only with "utc" and outside time travel.
TEST_F(TFrameHistoryTest, ButtonsAndWhereTheyLead) {
  Line("2024", {"a=Trans2", d, "o=" + Obj(key), "dest=" + Obj(person), "utc=" + UtcTimeStamp()});
  Line("2024", {"a=Inv", d, "o=" + Obj(key)});
  Show(key);
  Select(0);
  EXPECT_FALSE(frame->GotoKeyBtn->isEnabled());  // no keys view yet
  EXPECT_FALSE(frame->GotoPersonBtn->isEnabled());
  EXPECT_TRUE(frame->TimebackBtn->isEnabled());
  RegisterView(pgKeys, &keys);
  RegisterView(pgPersons, &persons);
  Select(0);
  EXPECT_TRUE(frame->GotoKeyBtn->isEnabled());
  EXPECT_FALSE(frame->ReturnBtn->isEnabled());  // the key's holder lines hold nothing
  EXPECT_TRUE(frame->GotoPersonBtn->isEnabled());
  db().SetField(key, "own", "E" + std::to_string(person) + "=1|2024-03-05");
  ASSERT_TRUE(db().Commit());
  Select(0);
  EXPECT_TRUE(frame->ReturnBtn->isEnabled());
  frame->ReturnBtnClick();
  EXPECT_EQ(keys.shown, std::vector<int32_t>{key});
  ASSERT_EQ(keys.calls.size(), 1u);
  EXPECT_EQ(keys.calls[0], std::make_pair(static_cast<int>(kKeysCallReturn), person));
  frame->GotoPersonBtnClick();
  EXPECT_EQ(persons.shown, std::vector<int32_t>{person});
  // The keys view edits another key: it cannot show this one.
  keys.editing = true;
  keys.current = key2;
  frame->GotoKeyBtnClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(25));
  Select(1);
  EXPECT_FALSE(frame->ReturnBtn->isEnabled());
  EXPECT_FALSE(frame->GotoPersonBtn->isEnabled());
  EXPECT_FALSE(frame->TimebackBtn->isEnabled());  // no "utc"
  state.TimeTravelMode = true;
  Select(0);
  EXPECT_FALSE(frame->TimebackBtn->isEnabled());
  UnregisterView(pgKeys, &keys);
  UnregisterView(pgPersons, &persons);
}

// Time travel to a moment without a month's copy: text 106, nothing started.
TEST_F(TFrameHistoryTest, TimeTravelWithoutACopy) {
  Line("2024", {"a=Inv", d, "o=" + Obj(key), "utc=" + UtcTimeStamp()});
  Show(key);
  Select(0);
  frame->TimebackBtnClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, CoreText(106));
}

// The search by name: without a type text 11; no match text 12; several: the picker, and
// "Alle auswählen" shows the history of every record of the class.
TEST_F(TFrameHistoryTest, SearchByNameWithThePicker) {
  Line("2024", {"a=New", d, "o=" + Obj(key)});
  Line("2024", {"a=New", d, "o=" + Obj(key2)});
  Line("2024", {"a=New", d, "o=" + Obj(person)});
  frame->SeekBtnClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(11));
  ui.Clear();

  frame->TypeCombo->setCurrentIndex(0);
  frame->HistNameCombo->setEditText("xyz");
  frame->SeekBtnClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(12));
  ui.Clear();

  frame->HistNameCombo->setEditText("k12");
  frame->SeekBtnClick();  // one match: shown at once
  frame->WaitComplete();
  EXPECT_EQ(frame->ShownId(), key2);
  EXPECT_EQ(frame->Model->rowCount(), 1);

  frame->HistNameCombo->setEditText("K1");
  int pickerRows = 0;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& picker = static_cast<TObjectSelWin&>(dialog);
    pickerRows = picker.Names->rowCount();
    picker.Grid->selectRow(0);
    picker.AllBtn->click();
  });
  frame->SeekBtnClick();
  frame->WaitComplete();
  EXPECT_EQ(pickerRows, 2);
  EXPECT_EQ(frame->ShownClass(), icKey);
  EXPECT_EQ(frame->ShownId(), 0);
  EXPECT_EQ(frame->Model->rowCount(), 2);  // both keys, not the person
  EXPECT_TRUE(ui.messages.empty());

  // The name list of the type: the store's records.
  frame->HistNameComboDropDown();
  EXPECT_EQ(frame->HistNameCombo->count(), 2);
}

// An unreadable year: its load message once, the other years shown, writing goes on.
TEST_F(TFrameHistoryTest, AnUnreadableYear) {
  Line("2022", {"a=New", "d=2022-01-01", "o=" + Obj(key)});
  Line("2023", {"a=Inv", "d=2023-01-01", "o=" + Obj(key)});
  Line("2024", {"a=Del", d, "o=" + Obj(key)});
  const std::string bad = history.FileNameOf(2023);
  {
    TPfFaultScope fault([&](TPfOp op, const std::string& path) {
      return op == TPfOp::Open && path == bad ? EACCES : 0;
    });
    Show(key);
  }
  EXPECT_EQ(frame->Model->rowCount(), 2);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, HistoryText(1) + "\r" + bad);
  EXPECT_TRUE(history.Enabled());
  EXPECT_TRUE(HistoryNew(icKey, key, "K1", "1"));
}

// Delete deletes nothing: texts 13 and 21, the files byte for byte as they were.
TEST_F(TFrameHistoryTest, DeleteOnlyTells) {
  Line("2024", {"a=New", d, "o=" + Obj(key)});
  Show(key);
  const std::string before = HistoryBytes();
  Select(0);
  frame->Delete1Click();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(13) + "\r\r" + FrameHistoryText(21));
  EXPECT_EQ(HistoryBytes(), before);
  EXPECT_EQ(frame->Model->rowCount(), 1);
}

// Print: right 11, an empty grid, the choice of all or the marked rows, the title of the
// record; export: the rows.
TEST_F(TFrameHistoryTest, PrintAndExport) {
  TFakePrinterScope printers;
  PrintSettings().preview = false;  // printed at once, no preview to drive
  auto printed = [&](size_t job) {
    std::vector<std::string> texts;
    for (const TRecordedPage& page : printers.printers.jobs[job]->pages)
      for (const TRecordedText& t : page.texts) texts.push_back(t.text);
    return texts;
  };
  frame->HistoryPrintBtnClick();  // nothing shown yet
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(8));
  ui.Clear();

  db().SetField(key, "k603", "4711");
  ASSERT_TRUE(db().Commit());
  Line("2024", {"a=New", d, "o=" + Obj(key), "stock=2"});
  Line("2024", {"a=Ren", d, "o=" + Obj(key), "oldName=K0"});
  Show(key);
  const std::string title = HistoryPrintTitle(icKey, key, db().GetDisplayName(key), "4711");
  EXPECT_NE(title.find("4711"), std::string::npos);
  ui.answers = {1};
  frame->HistoryPrintBtnClick();
  ASSERT_EQ(printers.printers.jobs.size(), 1u);
  EXPECT_EQ(printers.printers.jobs[0]->title, title);
  EXPECT_THAT(printed(0), ::testing::Contains(title));
  EXPECT_THAT(printed(0), ::testing::Contains(FrameHistoryText(6) + ": K0"));
  EXPECT_THAT(printed(0), ::testing::Contains(FrameHistoryText(2)));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find(title), std::string::npos);

  frame->HistoryGrid->selectionModel()->clearSelection();
  ui.answers = {2};
  frame->HistoryPrintBtnClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, FrameHistoryText(20));
  Select(0);
  ui.answers = {2};
  frame->HistoryPrintBtnClick();
  ASSERT_EQ(printers.printers.jobs.size(), 2u);
  EXPECT_THAT(printed(1), ::testing::Contains(FrameHistoryText(2)));
  EXPECT_THAT(printed(1), ::testing::Not(::testing::Contains(FrameHistoryText(6) + ": K0")));

  Session().RightLevels[rtPrintLists] = rlNo;
  ui.Clear();
  frame->HistoryPrintBtnClick();
  EXPECT_EQ(printers.printers.jobs.size(), 2u);
  EXPECT_EQ(ui.messages.size(), 1u);
  Session().RightLevels[rtPrintLists] = rlYes;

  QueueDialogDriver([&](QDialog& dialog) {
    static_cast<QFileDialog&>(dialog).selectFile(ToQString(dir.File("Protokoll.csv")));
    dialog.accept();
  });
  frame->ExportBtnClick(false);
  std::vector<std::string> lines;
  LoadTextFile(dir.File("Protokoll.csv"), lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[1].find(FrameHistoryText(2)), std::string::npos);
}

// The change log of the shown record opens from the view.
TEST_F(TFrameHistoryTest, ChangeLogOfTheRecord) {
  Line("2024", {"a=New", d, "o=" + Obj(key)});
  Show(key);
  int32_t record = -1;
  QueueDialogDriver([&](QDialog& dialog) {
    record = static_cast<TChangeLogForm&>(dialog).RecordId;
  });
  frame->ChangeLogBtnClick();
  EXPECT_EQ(record, key);
}
