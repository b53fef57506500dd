// The extended search and the object picker as dialogs.
#include "views/FindFormUnit.h"

#include <QDialog>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include "ViewsTestSupport.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

namespace {

struct TFindFormTest : TViewsTest {
  void TearDown() override {
    FreeFindForm();
    TViewsTest::TearDown();
  }
};

std::string Cell(const TIdTableModel* model, int row, int col) {
  return FromQString(model->data(model->index(row, col), Qt::DisplayRole).toString());
}

}  // namespace

// Typed, searched, a hit chosen: its record. Opened again: the hits are still there.
TEST_F(TFindFormTest, SearchChooseAndKeepTheHits) {
  const int32_t door = Record(icDoor, "T\xFCr 1");
  db().SetField(door, "rom", "GER\xC4TERAUM");
  const int32_t key = Record(icKey, "Ger\xE4teschl\xFCssel");
  ASSERT_TRUE(db().Commit());
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    EXPECT_FALSE(form.SeekBtn->isEnabled());
    form.SeekEd->setText(ToQString("  ger\xE4t"));
    EXPECT_TRUE(form.SeekBtn->isEnabled());
    // Enter searches only while the term has the focus.
    QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
    QCoreApplication::sendEvent(form.SeekEd, &in);
    EXPECT_TRUE(form.SeekBtn->isDefault());
    QCoreApplication::sendEvent(form.SeekEd, &out);
    EXPECT_FALSE(form.SeekBtn->isDefault());
    form.SeekBtn->click();
    ASSERT_EQ(form.Hits->rowCount(), 2);
    EXPECT_EQ(Cell(form.Hits, 0, 0), " " + CoreText(3));
    EXPECT_EQ(Cell(form.Hits, 1, 1), " Ger\xE4teschl\xFCssel");
    EXPECT_TRUE(form.GotoBtn->isEnabled());  // the first hit is selected
    form.Grid->selectRow(1);
    form.GotoBtn->click();
  });
  EXPECT_EQ(ShowFindForm(), key);
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    EXPECT_EQ(form.Hits->rowCount(), 2);
    form.EscBtn->click();
  });
  EXPECT_EQ(ShowFindForm(), 0);
}

// A kept hit whose record another station deleted meanwhile is not returned: the search
// runs again and the fresh hits are shown.
TEST_F(TFindFormTest, AKeptHitOfADeletedRecordSearchesAgain) {
  const int32_t k1 = Record(icKey, "Alpha 1");
  const int32_t k2 = Record(icKey, "Alpha 2");
  ASSERT_TRUE(db().Commit());
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    form.SeekEd->setText("alpha");
    form.SeekBtn->click();
    form.EscBtn->click();
  });
  EXPECT_EQ(ShowFindForm(), 0);
  {
    // Another station deletes the first key.
    TStation b("B");
    ASSERT_TRUE(b.Open(dir));
    ASSERT_TRUE(b->MarkDeleted(k1));
    ASSERT_TRUE(b->Commit());
  }
  int rowsAfter = -1;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    ASSERT_EQ(form.Hits->rowCount(), 2);  // the kept hits
    form.Grid->selectRow(0);             // Alpha 1
    form.GotoBtn->click();
  });
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    rowsAfter = form.Hits->rowCount();
    form.Grid->selectRow(0);
    form.GotoBtn->click();
  });
  EXPECT_EQ(ShowFindForm(), k2);
  EXPECT_EQ(rowsAfter, 1);
}

// A hit's excerpt (the term and up to 30 characters around it) is shown whole in its column.
TEST_F(TFindFormTest, TheExcerptOfAHitHasItsRoom) {
  const int32_t door = Record(icDoor, "T\xFCr 7");
  db().SetField(door, "rom", "Lager im Untergeschoss neben der Werkstatt Nord, Zugang Hof");
  ASSERT_TRUE(db().Commit());
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    QTest::keyClicks(form.SeekEd, "werkstatt");
    QTest::mouseClick(form.SeekBtn, Qt::LeftButton);
    ASSERT_EQ(form.Hits->rowCount(), 1);
    const QString excerpt = form.Hits->data(form.Hits->index(0, 2), Qt::DisplayRole).toString();
    EXPECT_GE(excerpt.trimmed().size(), 35);
    const int margin = form.Grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    EXPECT_GE(form.Grid->columnWidth(2) - 2 * margin,
              form.Grid->fontMetrics().horizontalAdvance(excerpt))
        << FromQString(excerpt);
    form.EscBtn->click();
  });
  EXPECT_EQ(ShowFindForm(), 0);
}

// The picker: IDs lined up, "Alle auswählen" gives -1 whatever is selected, OK the
// selected record, an empty list 0 without a dialog.
TEST_F(TFindFormTest, ObjectPicker) {
  TQStringList list;
  for (int32_t id : {7, 42, 123, 1234}) list.AddObject("N" + std::to_string(id), id);
  std::vector<std::string> ids;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& win = static_cast<TObjectSelWin&>(dialog);
    for (int r = 0; r < win.Names->rowCount(); ++r) ids.push_back(Cell(win.Names, r, 0));
    EXPECT_EQ(Cell(win.Names, 0, 1), " N7");
    EXPECT_FALSE(win.OkBtn->isEnabled());
    win.Grid->selectRow(2);
    win.AllBtn->click();
  });
  EXPECT_EQ(ShowObjectSelection(list), -1);
  EXPECT_EQ(ids, (std::vector<std::string>{"    7", "  42", "123", "1234"}));
  // Centred on the desktop, wherever the main window stands.
  QWidget main;
  main.setGeometry(0, 0, 200, 150);
  main.show();
  WinGlue().MainWindow = &main;
  QPoint centre;
  QueueDialogDriver([&](QDialog& dialog) {
    centre = dialog.frameGeometry().center();
    static_cast<TObjectSelWin&>(dialog).ESCBtn->click();
  });
  EXPECT_EQ(ShowObjectSelection(list), 0);
  WinGlue().MainWindow = nullptr;
  const QPoint desktop = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((centre - desktop).manhattanLength(), 4);
  QueueDialogDriver([&](QDialog& dialog) {
    auto& win = static_cast<TObjectSelWin&>(dialog);
    win.Grid->selectRow(1);
    EXPECT_TRUE(win.OkBtn->isEnabled());
    win.OkBtn->click();
  });
  EXPECT_EQ(ShowObjectSelection(list), 42);
  QueueDialogDriver([&](QDialog& dialog) { static_cast<TObjectSelWin&>(dialog).ESCBtn->click(); });
  EXPECT_EQ(ShowObjectSelection(list), 0);
  EXPECT_EQ(ShowObjectSelection(TQStringList()), 0);  // no dialog (strict mode counts one)
}

// The menu command: the chosen record in its view.
TEST_F(TFindFormTest, SeekCommandGoesToTheRecord) {
  const int32_t person = Record(icPerson, "Schulz");
  ASSERT_TRUE(db().Commit());
  TStandInView persons;
  RegisterView(pgPersons, &persons);
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TFindForm&>(dialog);
    form.SeekEd->setText("schulz");
    form.SeekBtn->click();
    form.GotoBtn->click();
  });
  RunSeekCommand();
  EXPECT_EQ(persons.shown, std::vector<int32_t>{person});
  UnregisterView(pgPersons, &persons);
}
