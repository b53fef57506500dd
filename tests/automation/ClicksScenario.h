#pragma once
// The end-to-end driver by real input (TessaroAutomated.cpp): mouse clicks and double clicks
// at a row's rectangle in a list's viewport, key clicks into fields, clicks on tabs and
// buttons; no handler and no view function is called. What the windows show is read back
// from their widgets.
//
// TESSARO_AUTOMATION_CLICKS="views": in every record view a click on the second row, a
// search typed down to a single entry and a click on it, the search cleared and a double
// click on the first row; each time the view's fields must show the record clicked.
// TESSARO_AUTOMATION_CLICKS="road": a person and a key made by hand, the key picked by a
// click, "Ausgabe", the person picked in the owner list, signed on the virtual pad with a
// receipt; the holder's row in the key's holders grid double clicked (the person shown),
// then the key taken back from there with "Rücknahme".
// Each step says what it saw ("... refused" when it failed) and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest/QTest>

#include "app/FrameMotherUnit.h"
#include "app/ListingFrameUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"
#include "views/CabInFrameUnit.h"
#include "views/FrameKeysUnit.h"
#include "views/FramePersons2Unit.h"
#include "views/FrameTransferUnit.h"

namespace hand {

inline void Settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// A left click in the middle of the widget (a button, a check box, a combo box).
inline bool Click(QWidget* widget) {
  if (!widget || !widget->isVisible() || !widget->isEnabled()) return false;
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  Settle();
  return true;
}

// Chooses an entry of a menu in the menu bar as a hand does: a click on the menu's title,
// then on the entry in the menu that opened.
inline bool ChooseMenuEntry(QMenuBar* bar, QMenu* menu, QAction* entry) {
  if (!bar || !menu || !entry || !bar->isVisible()) return false;
  const QRect title = bar->actionGeometry(menu->menuAction());
  if (!title.isValid()) return false;
  QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
  if (!QTest::qWaitFor([&] { return menu->isVisible(); }, 2000)) return false;
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
  Settle();
  return true;
}

// A click or a double click at the row's rectangle in the list's viewport, as a hand
// clicks what it sees: the row is scrolled into sight first.
inline bool ClickRow(QAbstractItemView* list, const QModelIndex& row, bool twice = false) {
  if (!list || !row.isValid()) return false;
  list->scrollTo(row);
  const QPoint at = list->visualRect(row).center();
  // A double click arrives as the platform delivers it: press, release, double click,
  // release (QTest's double click alone is only the third).
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) {
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  }
  Settle();
  return true;
}

// The page's tab clicked.
inline bool ClickTab(TTessaroForm& form, int page) {
  QTabBar* bar = form.PageControl->tabBar();
  if (!form.PageControl->isTabVisible(page)) return false;
  // A tab scrolled out of the bar is brought in with the bar's arrow buttons.
  for (int i = 0; i < 20 && !bar->rect().contains(bar->tabRect(page)); ++i) {
    const bool left = bar->tabRect(page).left() < 0;
    for (QToolButton* arrow : bar->findChildren<QToolButton*>())
      if (arrow->arrowType() == (left ? Qt::LeftArrow : Qt::RightArrow)) Click(arrow);
  }
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
  Settle();
  return form.PageControl->currentIndex() == page;
}

// Typed into the field (the field's text selected and overwritten).
inline void TypeInto(QWidget* field, const std::string& text) {
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, QString::fromLatin1(text.c_str()));
  Settle();
}

// The texts of the view's line edits (the list's search box aside), each in brackets.
inline std::string FieldTexts(QWidget& view, QWidget* listing) {
  std::string texts;
  for (QLineEdit* edit : view.findChildren<QLineEdit*>())
    if (!listing->isAncestorOf(edit) && !edit->text().isEmpty())
      texts += "[" + FromQString(edit->text()) + "]";
  return texts;
}

// The item of the popup list of a combo box clicked (the popup opened by a click first).
inline bool PickFromCombo(QComboBox* combo, const std::string& text) {
  if (!Click(combo)) return false;
  QAbstractItemView* popup = combo->view();
  for (int i = 0; i < 50 && !popup->isVisible(); ++i) Settle();
  // The pop-up ignores the release of the click that opened it for a double-click time.
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  const int row = combo->findText(ToQString(text), Qt::MatchStartsWith);
  if (row < 0) {
    combo->hidePopup();
    return false;
  }
  ClickRow(popup, combo->model()->index(row, combo->modelColumn()));
  for (int i = 0; i < 50 && popup->isVisible(); ++i) Settle();
  return combo->currentIndex() == row;
}

// The record views, each with at least three records whose names are single words.
inline void RecordViewsByClicks(TTessaroForm& form,
                                const std::function<void(QWidget&, const std::string&)>& shot,
                                const std::function<void(const std::string&)>& say) {
  struct TView {
    int page;
    const char* name;
  };
  const TView views[] = {{pgKeys, "keys"},     {pgPersons, "persons"},
                         {pgUsers, "users"},   {pgBuildings, "buildings"},
                         {pgDoors, "doors"},   {pgCylinders, "cylinders"},
                         {pgGroups, "groups"}, {pgCabinets, "cabinets"}};
  TMiniDB* db = GlueDB();
  for (const TView& v : views) {
    const std::string name = v.name;
    if (!ClickTab(form, v.page)) {
      say(name + " refused: the tab cannot be clicked");
      continue;
    }
    IView* page = ViewOf(v.page);
    auto* view = page ? dynamic_cast<TFrameMother*>(page->RecordFlow()) : nullptr;
    if (!view || !db) {
      say(name + " refused: no view");
      continue;
    }
    TListingFrame* listing = view->ListingFrame;
    QListView* list = listing->ListBox;
    if (listing->Count() < 3) {
      say(name + " refused: " + std::to_string(listing->Count()) + " rows");
      continue;
    }
    // What the fields must show after a gesture: the record's name, and it is the record
    // the view works on.
    auto expect = [&](const char* gesture, int32_t id) {
      const std::string wanted = db->GetName(id);
      const std::string fields = FieldTexts(*view, listing);
      const bool shown =
          view->CurrentId == id && fields.find("[" + wanted + "]") != std::string::npos;
      say(name + " " + gesture + " " +
          (shown ? "shows " + wanted : "refused: " + wanted + " clicked, shown " + fields));
    };

    // A second row.
    const int32_t first = listing->IdAt(0), second = listing->IdAt(1), third = listing->IdAt(2);
    ClickRow(list, listing->Model->index(1));
    expect("click", second);
    shot(form, "clicks-" + name);

    // A list of one entry: the search typed down to the third record.
    QLineEdit* search = listing->SeekCombo->lineEdit();
    TypeInto(search, db->GetName(third));
    if (listing->Count() != 1) {
      say(name + " refused: the search left " + std::to_string(listing->Count()) + " rows");
    } else {
      ClickRow(list, listing->Model->index(0));
      expect("single", third);
      shot(form, "clicks-" + name + "-single");
    }

    // The search cleared, the first row double clicked.
    TypeInto(search, "");
    ClickRow(list, listing->Model->index(listing->Model->RowOfId(first)), true);
    expect("double", first);
  }
}

// The first row of the holders grid that names the holder.
inline int HolderRow(QTableWidget* grid, const std::string& holder) {
  for (int row = 0; row < grid->rowCount(); ++row)
    for (int col = 0; col < grid->columnCount(); ++col)
      if (QTableWidgetItem* item = grid->item(row, col);
          item && FromQString(item->text()).find(holder) != std::string::npos)
        return row;
  return -1;
}

// The main road by hand: a person and a key made, the key issued to the person (signed on
// the pad, the receipt printed), then taken back.
inline void MainRoadByHand(TTessaroForm& form,
                           const std::function<void(QWidget&, const std::string&)>& shot,
                           const std::function<void(const std::string&)>& say,
                           const std::function<void(QDialog&)>& signOnThePad) {
  TMiniDB* db = GlueDB();
  auto viewOf = [](int page) { return ViewOf(page) ? ViewOf(page)->RecordFlow() : nullptr; };
  auto* persons = dynamic_cast<TFramePersons2*>(viewOf(pgPersons));
  if (!db || !persons || !ClickTab(form, pgPersons)) return say("road refused: no persons view");
  // The receipts go to the program's own PDF printer (the one printer of a machine without
  // any); its file question is answered with a name in the receipts folder.
  const char* folder = std::getenv("TESSARO_AUTOMATION_RECEIPTS");
  PrintSettings().printerName = kPdfPrinterName;
  auto receiptFile = [&](const std::string& name) {
    const std::string file = std::string(folder ? folder : "") + name;
    return [file, say](QDialog& dialog) {
      if (dialog.objectName() != QLatin1String("PdfSaveDialog"))
        return say("receipt refused: " + FromQString(dialog.objectName()) + " asked");
      auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!edit) return say("receipt refused: no file name field");
      edit->setFocus();
      edit->selectAll();
      QTest::keyClicks(edit, ToQString(file));
      QTest::keyClick(edit, Qt::Key_Return);
      if (dialog.isVisible() && dialog.result() != QDialog::Accepted)
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
          files->selectFile(ToQString(file));
          static_cast<QDialog*>(files)->accept();
        }
    };
  };
  Click(persons->NewBtn);
  TypeInto(persons->MaNameEd, "Erika Muster");
  Click(persons->SaveBtn);
  const int32_t person = persons->CurrentId;
  if (!person || persons->Editing) return say("person refused");
  say("person made " + std::to_string(person));

  auto* keys = dynamic_cast<TFrameKeys*>(viewOf(pgKeys));
  if (!keys || !ClickTab(form, pgKeys)) return say("road refused: no keys view");
  Click(keys->NewBtn);
  TypeInto(keys->KeyNameEd, "Buero 12");
  TypeInto(keys->KeyTotalEd, "2");
  TCabInFrame* rows = keys->CabInFrame;
  const bool hung = PickFromCombo(rows->Combo(0), "Schrank 1");
  TypeInto(rows->Count(0), "2");
  TypeInto(rows->Total(0), "2");
  shot(form, "road-key-new");
  Click(keys->SaveBtn);
  const int32_t key = keys->CurrentId;
  if (!key || keys->Editing || !hung) return say("key refused");
  say("key made " + std::to_string(key));

  // Picked by a click: another key first, then the new one; each must be the one shown.
  TListingFrame* listing = keys->ListingFrame;
  const int keyRow = listing->Model->RowOfId(key);
  const int otherRow = keyRow == 0 ? 1 : 0;
  for (const int row : {otherRow, keyRow}) {
    const int32_t picked = listing->IdAt(row);
    ClickRow(listing->ListBox, listing->Model->index(row));
    if (keys->CurrentId != picked || FromQString(keys->KeyNameEd->text()) != db->GetName(picked))
      return say("key pick refused: " + db->GetName(picked) + " clicked, shown " +
                 FromQString(keys->KeyNameEd->text()));
  }
  say("key picked");

  // "Ausgabe", the person from the owner list, signed, the receipt printed.
  Click(keys->TransferBtn);
  TFrameTransfer* transfer = FrameTransfer();
  if (!transfer || form.PageControl->currentIndex() != pgIssueReturn)
    return say("issue refused: no issue page");
  if (!PickFromCombo(transfer->TransferNewOwnerEd, "Erika Muster"))
    return say("person pick refused");
  say("person picked");
  if (!transfer->getSignatureCheck->isChecked()) Click(transfer->getSignatureCheck);
  if (!transfer->PrintCheck->isChecked()) Click(transfer->PrintCheck);
  shot(form, "road-issue");
  QueueDialogDriver(signOnThePad);
  QueueDialogDriver(receiptFile("issue.pdf"));
  Click(transfer->TransferApplyBtn);
  Settle();
  shot(form, "road-issued");
  auto holding = [&] {
    for (const THolderEntry& e : LoadHolderRecs(*db, key))
      if (e.Kind == okPerson && e.HolderId == person) return e;
    return THolderEntry{};
  };
  const THolderEntry held = holding();
  if (held.HolderId != person || held.SignatureRef.empty())
    return say("issue refused: holders " + db->GetField(key, fkHolders));
  say("issue booked, receipt " + held.ReceiptNo);

  // The holder's row in the key's holders grid double clicked: the person is shown.
  auto holderOfKey = [&](bool twice) {
    if (!ClickTab(form, pgKeys)) return false;
    ClickRow(listing->ListBox, listing->Model->index(listing->Model->RowOfId(key)));
    const int row = HolderRow(keys->OwnersGrid, db->GetDisplayName(person));
    return row >= 0 && ClickRow(keys->OwnersGrid, keys->OwnersGrid->model()->index(row, 0), twice);
  };
  if (!holderOfKey(true)) return say("holder refused: not in the holders grid");
  if (form.PageControl->currentIndex() != pgPersons || persons->CurrentId != person ||
      FromQString(persons->MaNameEd->text()) != "Erika Muster")
    return say("holder refused: shown " + FromQString(persons->MaNameEd->text()));
  say("holder shown");

  // Taken back: the holder's row in the key's holders grid, "Rücknahme".
  if (!holderOfKey(false)) return say("return refused: the holder is not in the grid");
  shot(form, "road-holders");
  if (!Click(keys->KeyRetractionBtn)) return say("return refused: Ruecknahme not offered");
  if (form.PageControl->currentIndex() != pgIssueReturn) return say("return refused: no page");
  if (!transfer->PrintCheck->isChecked()) Click(transfer->PrintCheck);
  shot(form, "road-return");
  QueueDialogDriver(receiptFile("return.pdf"));
  Click(transfer->TransferApplyBtn);
  Settle();
  say(holding().HolderId == 0 ? "return booked" : "return refused");
}

}  // namespace hand

// False when the scenario does not run.
inline bool RunClicksScenario(TTessaroForm& form,
                              const std::function<void(QWidget&, const std::string&)>& shot,
                              const std::function<void(const std::string&)>& say,
                              const std::function<void(QDialog&)>& signOnThePad) {
  const char* mode = std::getenv("TESSARO_AUTOMATION_CLICKS");
  if (!mode) return false;
  if (std::string(mode) == "road")
    hand::MainRoadByHand(form, shot, say, signOnThePad);
  else
    hand::RecordViewsByClicks(form, shot, say);
  return true;
}
