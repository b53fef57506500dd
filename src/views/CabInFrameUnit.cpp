#include "views/CabInFrameUnit.h"

#include <algorithm>
#include <limits>

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

const TMLStringList* CabInFrameTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("CabInFrame", 0);
    t->Add255Obj("aktuelle Anzahl am Haken", 1);
    t->Add255Obj("Gesamt/maximal am Haken vorgesehen", 2);
    t->Add255Obj("Haken-Nr.", 3);
    t->Add255Obj("Bei Bedarf k\xF6nnen Sie Schl\xFCsselschr\xE4nke anlegen,#13#indem Sie auf "
                 "die Beschriftung \"Schrank\" klicken.",
                 4);
    t->Add255Obj("In einer Zeile ist kein Schrank gew\xE4hlt, obwohl daf\xFCr Inhalte "
                 "eingegeben wurden.",
                 5);
    t->Add255Obj("Bei einem Schrank ist die eingegebene St\xFC"
                 "ckzahl kein g\xFCl"
                 "ter "
                 "Zahlenwert.",
                 6);
    t->Add255Obj("Ein Schrank ist mehrfach ausgew\xE4hlt worden.", 7);
    t->Add255Obj("neue Zeile / weiterer Schrank", 8);
    return t;
  }();
  return table;
}

std::string CabInFrameText(int number) { return GetMLText(CabInFrameTexts(), number); }

// =======================================================================================
// Checking and storing, without widgets

namespace {

bool IsWholeNumber(const std::string& text, int64_t& value) {
  return TryStrToInt64(text, value) && value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

// The value to store for a count the user changed from `shown` to `entered`: the stored
// value moved by the difference, so that what a booking did meanwhile stays.
std::string CountByDifference(const std::string& stored, const std::string& shown,
                              const std::string& entered) {
  int64_t s = 0, before = 0, after = 0;
  if (!IsWholeNumber(stored, s) || !IsWholeNumber(shown, before) || !IsWholeNumber(entered, after))
    return entered;
  return std::to_string(s + (after - before));
}

}  // namespace

bool CheckCabinetRows(const std::vector<TCabRowInput>& rows, std::vector<int32_t>& cabinets,
                      std::string& error) {
  cabinets.clear();
  error.clear();
  for (const TCabRowInput& row : rows) {
    if (row.cabinet == 0) {
      if (!row.count.empty() || !row.total.empty() || !row.hook.empty()) {
        error = CabInFrameText(5);
        return false;
      }
      continue;
    }
    int64_t value = 0;
    if ((!row.count.empty() && !IsWholeNumber(row.count, value)) ||
        (!row.total.empty() && !IsWholeNumber(row.total, value))) {
      error = CabInFrameText(6);
      return false;
    }
    if (std::find(cabinets.begin(), cabinets.end(), row.cabinet) != cabinets.end()) {
      error = CabInFrameText(7);
      return false;
    }
    cabinets.push_back(row.cabinet);
  }
  return true;
}

bool StoreCabinetRows(TMiniDB& db, int32_t key, const std::vector<TCabRowInput>& rows,
                      std::string& error) {
  std::vector<int32_t> chosen;
  if (!CheckCabinetRows(rows, chosen, error)) return false;
  // A cabinet deleted meanwhile is not linked.
  std::vector<int32_t> wanted;
  for (int32_t cabinet : chosen)
    if (db.GetClass(cabinet) == icCabinet && db.IsValid(cabinet)) wanted.push_back(cabinet);
  TItemList linked;
  db.GetLinks(key, icCabinet, linked);
  for (int32_t i = 0; i < linked.Count(); ++i)
    if (std::find(wanted.begin(), wanted.end(), linked.Get(i)) == wanted.end())
      db.RemoveLinkBoth(key, linked.Get(i), icCabinet, icKey);
  for (int32_t cabinet : wanted)
    if (!db.HasLink(key, icCabinet, cabinet)) db.AddLinkBoth(key, cabinet, icCabinet, icKey);
  for (const TCabRowInput& row : rows) {
    if (std::find(wanted.begin(), wanted.end(), row.cabinet) == wanted.end()) continue;
    const bool sameCabinet = row.cabinet == row.shownCabinet;
    struct {
      const char* name;
      const std::string& entered;
      const std::string& shown;
    } counts[] = {{fkCabinetStock, row.count, row.shownCount},
                  {fkCabinetOwned, row.total, row.shownTotal}};
    for (const auto& c : counts) {
      if (sameCabinet && c.entered == c.shown) continue;  // untouched: a booking's change stays
      const std::string stored = db.GetLinkValue(key, row.cabinet, c.name);
      db.SetLinkValue(key, row.cabinet, c.name,
                      sameCabinet ? CountByDifference(stored, c.shown, c.entered) : c.entered);
    }
    db.SetLinkValue(key, row.cabinet, "po", row.hook);
  }
  if (!db.GetField(key, "cabpos").empty()) db.DeleteField(key, "cabpos");
  return true;
}

// =======================================================================================
// The frame

namespace {

constexpr int kComboLeft = 0, kComboWidth = 181;
constexpr int kPosLeft = 185, kPosWidth = 71;
constexpr int kCntLeft = 260, kCntWidth = 34;
constexpr int kTotalLeft = 298, kTotalWidth = 34;

int TagRow(int tag) { return tag & 0xFFFFFF; }

}  // namespace

TCabInFrame::TCabInFrame(QWidget* parent) : QFrame(parent) {
  setObjectName("CabInFrame");
  PopupMenu1 = new QMenu(this);
  MoreLines1 = PopupMenu1->addAction(ToQString(CabInFrameText(8)));
  connect(MoreLines1, &QAction::triggered, this, [this] { MoreLines1Click(); });
  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
  AddRow();
  CabinetCombo = rows_[0].combo;
  PosEd = rows_[0].hook;
  CntEd = rows_[0].count;
  TotalEd = rows_[0].total;
  CabinetCombo->setObjectName("CabinetCombo");
  PosEd->setObjectName("PosEd");
  CntEd->setObjectName("CntEd");
  TotalEd->setObjectName("TotalEd");
  setMinimumWidth(kTotalLeft + kTotalWidth);
  TranslateForm(this);
  Clear(false);
  EndEdit();
}

int TCabInFrame::ComboHeight() const {
  return rows_.empty() ? 22 : std::max(22, rows_[0].combo->sizeHint().height());
}

void TCabInFrame::PlaceRow(TRow& row, int index, int top) {
  const int h = ComboHeight();
  row.combo->setGeometry(kComboLeft, top, kComboWidth, h);
  row.hook->setGeometry(kPosLeft, top, kPosWidth, h);
  row.count->setGeometry(kCntLeft, top, kCntWidth, h);
  row.total->setGeometry(kTotalLeft, top, kTotalWidth, h);
  row.combo->setProperty("tag", CabRowTag(kCabColCabinet, index));
  row.count->setProperty("tag", CabRowTag(kCabColCount, index));
  row.total->setProperty("tag", CabRowTag(kCabColTotal, index));
  row.hook->setProperty("tag", CabRowTag(kCabColHook, index));
}

void TCabInFrame::AddRow() {
  TRow row;
  row.combo = new QComboBox(this);
  row.hook = new QLineEdit(this);
  row.count = new QLineEdit(this);
  row.total = new QLineEdit(this);
  row.count->setToolTip(ToQString(CabInFrameText(1)));
  row.total->setToolTip(ToQString(CabInFrameText(2)));
  row.hook->setToolTip(ToQString(CabInFrameText(3)));
  for (QWidget* w : std::initializer_list<QWidget*>{row.combo, row.hook, row.count, row.total}) {
    w->installEventFilter(this);
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this,
            [this, w](const QPoint& at) { PopupMenu1->popup(w->mapToGlobal(at)); });
  }
  const int index = static_cast<int>(rows_.size());
  const int top = index == 0 ? 0 : NextTop;
  rows_.push_back(row);
  PlaceRow(rows_.back(), index, top);
  if (index > 0) {
    if (rows_.size() > 1) FillCombo(rows_.back().combo);
    for (QWidget* w : std::initializer_list<QWidget*>{row.combo, row.hook, row.count, row.total})
      w->show();
  }
  NextTop = top + ComboHeight() + 4;
}

void TCabInFrame::SetHeightTo(int height) {
  const int old = this->height();
  setFixedHeight(height);
  if (height != old && OnSizeChanged) OnSizeChanged(height - old);
}

void TCabInFrame::FillCombo(QComboBox* combo) const {
  const int32_t selected = GetComboId(combo, 0);
  TItemList cabinets;
  if (TMiniDB* db = GlueDB()) db->ListClassValid(icCabinet, cabinets);
  FillListFromItemList(combo, cabinets, true, selected);
  if (selected == 0) combo->setCurrentIndex(-1);
}

void TCabInFrame::Clear(bool notify) {
  while (rows_.size() > 1) {
    TRow row = rows_.back();
    rows_.pop_back();
    for (QWidget* w : std::initializer_list<QWidget*>{row.combo, row.hook, row.count, row.total}) {
      w->hide();
      w->deleteLater();
    }
  }
  TRow& first = rows_[0];
  first.combo->clear();
  first.hook->clear();
  first.count->clear();
  first.total->clear();
  first.shownCabinet = 0;
  first.shownCount.clear();
  first.shownTotal.clear();
  NextTop = ComboHeight() + 4;
  FocusedRow = 0;
  const int old = height();
  setFixedHeight(ComboHeight());
  if (notify && OnSizeChanged && old != height()) OnSizeChanged(height() - old);
}

int TCabInFrame::LoadRows(int32_t key) {
  const int old = height();
  Clear(false);
  KeyId = key;
  TMiniDB* db = GlueDB();
  std::vector<std::pair<std::string, int32_t>> cabinets;
  if (db && key > 0) {
    TItemList linked;
    db->ReadLinks(key, icCabinet, linked);
    for (int32_t i = 0; i < linked.Count(); ++i)
      if (linked.Get(i) > 0 && db->HasRecord(linked.Get(i)) && db->IsValid(linked.Get(i)))
        cabinets.emplace_back(db->GetDisplayName(linked.Get(i)), linked.Get(i));
    std::stable_sort(cabinets.begin(), cabinets.end(), [](const auto& a, const auto& b) {
      return AnsiCompareText(a.first, b.first) < 0;
    });
  }
  if (cabinets.empty()) {
    FillCombo(rows_[0].combo);
    rows_[0].combo->setCurrentIndex(-1);
  }
  for (size_t i = 0; i < cabinets.size(); ++i) {
    if (i > 0) AddRow();
    TRow& row = rows_[i];
    FillCombo(row.combo);
    SetComboIdOrIndex(row.combo, cabinets[i].second, -1);
    row.shownCabinet = cabinets[i].second;
    row.shownCount = db->ReadLinkValue(key, cabinets[i].second, fkCabinetStock);
    row.shownTotal = db->ReadLinkValue(key, cabinets[i].second, fkCabinetOwned);
    const std::string hook = GetHookText(*db, key, cabinets[i].second);
    for (const auto& [edit, text] :
         {std::pair<QLineEdit*, const std::string&>{row.count, row.shownCount},
          {row.total, row.shownTotal},
          {row.hook, hook}}) {
      edit->setText(ToQString(text));
      FitCaptionFont(edit, text);
    }
  }
  const int newHeight = rows_.size() == 1 ? ComboHeight() : NextTop - 4;
  setFixedHeight(newHeight);
  if (Editing)
    StartEdit();
  else
    EndEdit();
  FocusedRow = 0;
  const int delta = height() - old;
  if (delta != 0 && OnSizeChanged) OnSizeChanged(delta);
  return delta;
}

void TCabInFrame::SetRowLook(const TRow& row) const {
  for (QLineEdit* e : {row.hook, row.count, row.total})
    ApplyControlLook(e, Editing ? TControlLook::Editable : TControlLook::ReadOnly);
  ApplyControlLook(row.combo, Editing ? TControlLook::Editable : TControlLook::Disabled);
}

void TCabInFrame::StartEdit() {
  Editing = true;
  bool allChosen = true;
  for (const TRow& row : rows_) allChosen = allChosen && GetComboId(row.combo, 0) != 0;
  if (allChosen) {
    AddRow();
    SetHeightTo(NextTop - 4);
  }
  FillCabinetCombos();
  for (const TRow& row : rows_) SetRowLook(row);
  rows_[0].combo->setToolTip(rows_[0].combo->count() <= 2 ? ToQString(CabInFrameText(4))
                                                          : QString());
}

void TCabInFrame::EndEdit() {
  Editing = false;
  for (const TRow& row : rows_) SetRowLook(row);
  rows_[0].combo->setToolTip(QString());
}

void TCabInFrame::FillCabinetCombos() {
  for (const TRow& row : rows_) FillCombo(row.combo);
}

TItemList TCabInFrame::GetCabinetIds() const {
  TItemList ids;
  for (const TRow& row : rows_) {
    const int32_t cabinet = GetComboId(row.combo, 0);
    if (cabinet != 0) ids.Add(cabinet);
  }
  return ids;
}

int32_t TCabInFrame::SelectedCabinet() const {
  if (FocusedRow >= 0 && FocusedRow < RowCount()) {
    const int32_t cabinet = GetComboId(rows_[static_cast<size_t>(FocusedRow)].combo, 0);
    if (cabinet != 0) return cabinet;
  }
  return GetComboId(rows_[0].combo, 0);
}

void TCabInFrame::PresetCabinet(int32_t cabinet) {
  if (cabinet == 0) return;
  for (const TRow& row : rows_)
    if (GetComboId(row.combo, 0) != 0) return;
  if (rows_[0].combo->count() == 0) FillCombo(rows_[0].combo);
  SelectComboIdIfPresent(rows_[0].combo, cabinet);
}

std::vector<TCabRowInput> TCabInFrame::Rows() const {
  std::vector<TCabRowInput> rows;
  for (const TRow& row : rows_) {
    TCabRowInput input;
    input.cabinet = row.combo->currentIndex() >= 0 ? GetComboId(row.combo, 0) : 0;
    input.count = Trim(FromQString(row.count->text()));
    input.total = Trim(FromQString(row.total->text()));
    input.hook = Trim(FromQString(row.hook->text()));
    input.shownCabinet = row.shownCabinet;
    input.shownCount = Trim(row.shownCount);
    input.shownTotal = Trim(row.shownTotal);
    rows.push_back(std::move(input));
  }
  return rows;
}

bool TCabInFrame::SaveRows(TMiniDB& db, bool checkOnly, std::string& error) {
  const std::vector<TCabRowInput> rows = Rows();
  if (checkOnly) {
    std::vector<int32_t> cabinets;
    return CheckCabinetRows(rows, cabinets, error);
  }
  return StoreCabinetRows(db, KeyId, rows, error);
}

void TCabInFrame::ApplySettings() {
  rows_[0].count->setToolTip(ToQString(CabInFrameText(1)));
  rows_[0].total->setToolTip(ToQString(CabInFrameText(2)));
  rows_[0].hook->setToolTip(ToQString(CabInFrameText(3)));
}

void TCabInFrame::MoreLines1Click() {
  AddRow();
  SetHeightTo(NextTop - 4);
  if (Editing)
    StartEdit();
  else
    EndEdit();
}

void TCabInFrame::PopupMenu1Popup() { MoreLines1->setEnabled(Editing); }

bool TCabInFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    const QVariant tag = watched->property("tag");
    if (tag.isValid()) FocusedRow = TagRow(tag.toInt());
  } else if (event->type() == QEvent::KeyPress && !Editing) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (edit && edit->isReadOnly() && text.size() == 1 && text[0].isLetterOrNumber()) {
      ShowNotInEditMode();
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}
