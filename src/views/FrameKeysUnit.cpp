#include "views/FrameKeysUnit.h"

#include <algorithm>
#include <limits>
#include <set>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/AppControlUnit.h"
#include "app/CommandNames.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/SigFormUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"
#include "views/CabInFrameUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/SplitUnit.h"

// =======================================================================================
// Texts

const TMLStringList* FrameKeysTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameKeys", 0);
    t->Add255Obj("Dieser Schl\xFCssel wurde zwischenzeitlich gel\xF6scht#13#und kann nicht "
                 "mehr bearbeitet werden.",
                 1);
    t->Add255Obj("Bitte beenden Sie zuerst die Eingabe auf der Schr\xE4nke-Karteikarte.", 2);
    t->Add255Obj("Geben Sie bei der Neuanlage nur#13#die Gesamtzahl der Exemplare ein "
                 "(rechts).#13#Die verf\xFCgbare Anzahl \xE4ndert sich#13#automatisch z.B. bei "
                 "der Schl\xFCsselausgabe.",
                 3);
    t->Add255Obj("Es gibt bereits einen Schl\xFCssel mit diesem Namen.", 4);
    t->Add255Obj("Die verf\xFCgbare Anzahl weicht von der Eingabe bei den Schr\xE4nken ab "
                 "(Summe %1).",
                 5);
    t->Add255Obj("Die Gesamtzahl weicht von der Eingabe bei den Schr\xE4nken ab (Summe %1).", 6);
    t->Add255Obj("Der Schl\xFCssel kann nicht gel\xF6scht werden#13#solange er einem Besitzer "
                 "zugeordnet ist.",
                 7);
    t->Add255Obj("Dem Bund sind noch Schl\xFCssel zugeordnet.", 8);
    t->Add255Obj("Schl\xFCssel %1 wirklich l\xF6schen?", 9);
    t->Add255Obj("Es ist bereits ein Transfer mit einem anderem Schl\xFCssel gestartet.#13#"
                 "Bitte beenden Sie zun\xE4"
                 "chst den angezeigten Vorgang.",
                 10);
    t->Add255Obj("Ein Generalhauptschl\xFCssel (GHS) schlie\xDFt alle Zylinder einer "
                 "Schlie\xDF"
                 "anlage.#13#Deshalb werden automatisch alle zugeh\xF6rigen "
                 "T\xFCren als schlie\xDF"
                 "bar gekennzeichnet.",
                 11);
    t->Add255Obj("Ansicht: Schl\xFCssel und Schlie\xDF"
                 "anlage",
                 12);
    t->Add255Obj("Ansicht: Schl\xFCssel und Schlie\xDFung", 13);
    t->Add255Obj("nur der angezeigte Schl\xFCssel", 16);
    t->Add255Obj("die in der Liste angezeigten Schl\xFCssel", 17);
    t->Add255Obj("Liste aller Besitzer von", 18);
    t->Add255Obj("Liste aller Besitzer", 19);
    t->Add255Obj("Quittung zur Ausgabe an", 20);
    t->Add255Obj("Schl\xFCsselquittung", 21);
    t->Add255Obj("am Bund enthaltene Schl\xFCssel", 22);
    t->Add255Obj("Besitzer des Schl\xFCssels %1", 23);
    t->Add255Obj("Die Besitzerliste enth\xE4lt keine Daten zum Drucken.", 24);
    t->Add255Obj("Besitzer", 25);
    t->Add255Obj("Ausgabe", 26);
    t->Add255Obj("von insgesamt", 27);
    t->Add255Obj("Bund", 28);
    t->Add255Obj("Aus einem Schl\xFCsselbund kann kein Verlust gebucht werden.", 29);
    return t;
  }();
  return table;
}

std::string FrameKeysText(int number) { return GetMLText(FrameKeysTexts(), number); }
std::string FrameKeysTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FrameKeysTexts(), number, argument);
}

// =======================================================================================
// Saving, deleting, duplicating without widgets

bool ParseKeyTotal(const std::string& text, int32_t& total) {
  int64_t value = 0;
  if (!TryStrToInt64(Trim(text), value) || value < 0 || value > std::numeric_limits<int32_t>::max())
    return false;
  total = static_cast<int32_t>(value);
  return true;
}

bool StoreKey(TMiniDB& db, int32_t id, bool isNew, const TKeyInput& input, TStoredKey& out) {
  out = TStoredKey{};
  int32_t entered = 0;
  if (!ParseKeyTotal(input.total, entered)) return false;
  out.created = isNew;
  int64_t total = entered, stock = entered;
  if (!isNew) {
    out.oldName = db.GetName(id);
    // The change the user made, applied to the counts as they are now: a booking made
    // during the edit is kept. A total shown empty or unreadable counts from the stored one.
    int32_t shown = 0;
    const std::string storedTotal = Trim(db.GetField(id, fkTotal));
    const int64_t stored = StrToIntZero(storedTotal);
    if (!ParseKeyTotal(input.totalAtStart, shown)) shown = static_cast<int32_t>(stored);
    const int64_t delta = int64_t{entered} - shown;
    total = std::max<int64_t>(0, stored + delta);
    stock = int64_t{StrToIntZero(Trim(db.GetField(id, fkStock)))} + delta;
    out.totalChanged = delta != 0;
    out.totalDelta = static_cast<int32_t>(delta);
    if (!out.totalChanged) {
      total = stored;
      stock = StrToIntZero(Trim(db.GetField(id, fkStock)));
    }
  }
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
  };
  out.total = std::to_string(clamp32(total));
  out.stock = std::to_string(clamp32(stock));
  db.SetField(id, fkName, input.name);
  db.SetField(id, fkKeySystem, std::to_string(input.system > 0 ? input.system : ksBuildingBase));
  db.SetField(id, fkSecondName, input.name2);
  db.SetField(id, fkKeyType, std::to_string(input.keyType));
  db.SetField(id, "k603", input.lockNr);
  if (isNew || out.totalChanged) {
    db.SetField(id, fkStock, out.stock);
    db.SetField(id, fkTotal, out.total);
  }
  db.SetField(id, fkRemark, input.remark);
  db.SetField(id, fkMinimum, input.minStock);
  if (input.keyType == kKeyTypeGeneralMaster) {
    // It opens its whole system: links to single doors would only contradict that.
    TItemList doors;
    db.GetLinks(id, icDoor, doors);
    for (int32_t i = 0; i < doors.Count(); ++i) db.RemoveLinkBoth(id, doors.Get(i), icDoor, icKey);
  }
  return true;
}

int32_t FindDuplicateKeyName(const TMiniDB& db, int cls, const std::string& fullName,
                             int32_t system, int32_t self) {
  const int32_t wantedSystem = system > 0 ? system : ksBuildingBase;
  TItemList all;
  db.ListClassValid(cls, all);
  for (int32_t i = 0; i < all.Count(); ++i) {
    const int32_t id = all.Get(i);
    if (id == self) continue;
    const std::string name =
        NameWithSecondName(db.ReadName(id), Trim(db.ReadLineField(id, fkSecondName)));
    if (!AnsiSameText(Trim(name), fullName)) continue;
    if (cls == icKey) {
      const int32_t other = db.ReadKeySystem(id);
      if ((other > 0 ? other : ksBuildingBase) != wantedSystem) continue;
    }
    return id;
  }
  return 0;
}

std::string KeyDeleteRefusal(const TMiniDB& db, int32_t id) {
  TItemList daughters;
  db.ReadLinks(id, lkDaughters, daughters);
  for (int32_t i = 0; i < daughters.Count(); ++i)
    if (daughters.Get(i) != id && db.HasRecord(daughters.Get(i)) && db.IsValid(daughters.Get(i)))
      return CoreText(76);
  // The holder lines decide, not the links: a holding booked by another station counts.
  // Defective pieces are gone for good and hold nothing back.
  for (const THolderEntry& e : LoadHolderRecs(db, id, false))
    if (e.Kind == okPerson || e.Kind == okLost || e.Kind == okKeyBunch) return FrameKeysText(7);
  if (db.GetClass(id) == icKeyBunch) {
    TItemList keys;
    db.ReadLinks(id, icKey, keys);
    for (int32_t i = 0; i < keys.Count(); ++i)
      if (db.HasRecord(keys.Get(i)) && db.IsValid(keys.Get(i))) return FrameKeysText(8);
  }
  return "";
}

namespace {

// The field that holds the values of one link ("o" + the linked record's ID).
bool IsLinkValueKey(const std::string& key) {
  return key.size() > 1 && (key[0] == 'o' || key[0] == 'O') &&
         key.find_first_not_of("0123456789", 1) == std::string::npos;
}

}  // namespace

int32_t DuplicateKeyRecord(TStoreWrite& write, TMiniDB& db, int32_t source) {
  if (!db.HasRecord(source)) return 0;
  const int cls = db.GetClass(source);
  TQStringList fields;
  db.ReadRecord(source, fields);
  std::vector<std::pair<int, std::vector<int32_t>>> links;
  TQStringList copy;
  for (const TStringItem& item : fields.Items()) {
    const std::string& line = item.text;
    const size_t eq = line.find('=');
    const std::string key = eq == std::string::npos ? line : line.substr(0, eq);
    int kind = 0;
    if (IsLinkField(key, kind)) {
      // Holders (persons, bunches) and the split family stay with the original.
      if (kind == icDoor || kind == icCylinder || kind == icGroup || kind == icCabinet) {
        TItemList targets;
        db.ReadLinks(source, kind, targets);
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < targets.Count(); ++i)
          if (targets.Get(i) > 0 && db.HasRecord(targets.Get(i))) ids.push_back(targets.Get(i));
        links.emplace_back(kind, std::move(ids));
      }
      continue;
    }
    // Per-link values ("ct", "tl", "po" of a cabinet) and holder data are not copied.
    if (AnsiSameText(key, "i") || AnsiSameText(key, "c") || AnsiSameText(key, "GUID") ||
        AnsiSameText(key, "extID") || AnsiSameText(key, fkHolders) ||
        AnsiSameText(key, fkIssuedIdents) || AnsiSameText(key, fkLocksmithID) ||
        AnsiSameText(key, "k304") || IsLinkValueKey(key))
      continue;
    copy.Add(line);
  }
  std::vector<int32_t> targets;
  for (const auto& [kind, ids] : links) targets.insert(targets.end(), ids.begin(), ids.end());
  if (!write.Include(targets)) return 0;
  const int32_t copyId = db.NewRecord(cls);
  if (copyId == 0 || !write.Include({copyId})) return 0;
  copy.InsertObject(0, "c=" + std::to_string(cls), 0);
  db.PutRecordText(copyId, BuildRecordLine(copy));
  db.SetField(copyId, fkName, db.GetField(copyId, fkName) + " *Kopie*");
  // Nobody holds a piece of the copy: all its pieces are in stock.
  const std::string total = db.GetField(copyId, fkTotal);
  db.SetField(copyId, fkStock, total);
  for (const auto& [kind, ids] : links)
    for (int32_t target : ids) db.AddLinkBoth(copyId, target, kind, cls);
  return copyId;
}

namespace {

// The holder as the grid and its search show it: the part of the reference text before a
// TAB (a person's display name carries its department behind one).
std::string HolderText(const TMiniDB& db, const THolderEntry& e) {
  std::string text = HolderRefText(db, {e.Kind, e.HolderId});
  const size_t tab = text.find('\t');
  if (tab != std::string::npos) text.resize(tab);
  return Trim(text);
}

}  // namespace

// =======================================================================================
// The glue part: what the window and the other views reach through the registry.

class TFrameKeys::TGlue : public IView {
 public:
  explicit TGlue(TFrameKeys& frame) : frame_(frame) {}
  void RefreshView() override { frame_.RefreshView(); }
  void ClearView() override { frame_.ClearDisplay(); }
  bool Editing() const override { return frame_.Editing; }
  void ShowItem(int32_t id) override {
    frame_.ListingFrame->SelectId(id);
    frame_.ShowKey(id);
  }
  int32_t CurrentItemId() const override { return frame_.CurrentId; }
  QComboBox* SystemCombo() override { return frame_.KeyKeysystemCombo; }
  QComboBox* SystemFilterCombo() override { return frame_.ListingFrame->SysCombo; }
  QComboBox* BuildingFilterCombo() override { return frame_.ListingFrame->HouseCombo; }
  void HideSearchPanel() override {}
  bool HandleCommand(char letter) override { return frame_.HandleCommand(letter); }
  bool CancelEdit() override {
    if (!frame_.Editing) return false;
    frame_.KeyCancelBtnClick();
    return true;
  }
  bool Print() override { return frame_.PrintPage(); }
  void RepaintList() override { frame_.ListingFrame->update(); }
  IRecordFlowView* RecordFlow() override { return &frame_; }
  void TermsChanged() override {
    frame_.ListingFrame->TermsChanged();
    frame_.ApplySettings();
  }
  void ViewCall(int command, int32_t id) override { frame_.ViewCall(command, id); }
  int SelectHolder(int32_t key, int32_t holder, int mode, const std::string& receiptNo,
                   const std::string& firstDate) override {
    return frame_.SelectHolder(key, holder, mode, receiptNo, firstDate);
  }
  int KeysEditState() const override { return frame_.KeysEditState; }
  bool NewKey(int cls, const std::string& name, int32_t door, int32_t system) override {
    return frame_.NewKey(cls, name, door, system);
  }

 private:
  TFrameKeys& frame_;
};

// =======================================================================================
// The view

namespace {

constexpr int kListWidth = 301;
constexpr uint32_t clInvalidField = 0xA0A0FF;
constexpr uint32_t clSeekActive = 0x00FFFF;

QToolButton* FootButton(QWidget* parent, const char* caption, const char* name) {
  auto* button = new QToolButton(parent);
  button->setText(ToQString(caption));
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumHeight(24);
  button->setObjectName(name);
  button->setEnabled(false);
  return button;
}

QLabel* FieldLabel(QWidget* parent, const std::string& caption) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QLineEdit* FieldEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

TLinkingFrame* LinkFrame(QWidget* sheet, uint8_t linkedType, const std::string& title) {
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(0, 0, 0, 0);
  TLinkingFrame* frame = NewLinkingFrame(sheet, linkedType, title);
  layout->addWidget(frame);
  return frame;
}

void SetBase(QWidget* w, uint32_t bgr) {
  QPalette p = w->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    p.setColor(group, QPalette::Base, ColorFromBgr(bgr));
  w->setPalette(p);
}

}  // namespace

TFrameKeys::TFrameKeys(QWidget* owner) : TFrameMother(owner, icKey, rtKeys) {
  setObjectName("FrameKeys");
  glue_ = std::make_unique<TGlue>(*this);
  // After a deletion every view refreshes; this list too when the view is not registered.
  Flow.RefreshAll = [this] {
    RefreshAllFrames();
    if (PageOfView(glue_.get()) < 0) ListingFrame->Refresh();
  };
  ListingFrame->Setup(icKey, icKeyBunch, kListWidth, 230);
  ListingFrame->CaptionLabel->setText(ToQString("Schl\xFCssel-Liste"));
  ListingFrame->SeekCombo->show();
  ListingFrame->SysCombo->show();
  // All systems until the shared list of systems fills the filter.
  AddComboItem(ListingFrame->SysCombo, CoreText(70), ksAll);
  ListingFrame->SysCombo->setCurrentIndex(0);
  ListingFrame->FrameResize();
  JournalBtn->show();
  TransferBtn->setText(ToQString("Ausgabe"));
  TransferBtn->setToolTip(ToQString("Schl\xFCssel ausgeben"));

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);

  // The fields.
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  KeyNameLabel = FieldLabel(panel, "Schl\xFCssel:");
  KeyNameLabel->setObjectName("KeyNameLabel");
  KeyNameEd = FieldEdit(panel, "KeyNameEd");
  KeyName2Ed = FieldEdit(panel, "KeyName2Ed");
  KeyName2Ed->setToolTip(ToQString("[Zusatzbezeichnung]"));
  KeyKeysystemCombo = new QComboBox(panel);
  KeyKeysystemCombo->setObjectName("KeyKeysystemCombo");
  KeyTypeCombo = new QComboBox(panel);
  KeyTypeCombo->setObjectName("KeyTypeCombo");
  LockLabel = FieldLabel(panel, "Schlie\xDFung:");
  LockLabel->setObjectName("LockLabel");
  LockLabel->setCursor(Qt::PointingHandCursor);
  LockLabel->installEventFilter(this);
  LockNrEd = FieldEdit(panel, "LockNrEd");
  KeyCutEd = FieldEdit(panel, "KeyCutEd");
  KeyCutEd->setToolTip(ToQString("Einschnitte"));
  KeyInventoryEd = FieldEdit(panel, "KeyInventoryEd");
  KeyInventoryEd->setMaxLength(5);
  KeyInventoryEd->setFixedWidth(50);
  KeyInventoryEd->setContextMenuPolicy(Qt::CustomContextMenu);
  OfTotalLabel = new QLabel(ToQString(FrameKeysText(27)), panel);
  OfTotalLabel->setObjectName("OfTotalLabel");
  KeyTotalEd = FieldEdit(panel, "KeyTotalEd");
  KeyTotalEd->setMaxLength(5);
  KeyTotalEd->setFixedWidth(50);
  PcsLabel = new QLabel(ToQString("verf\xFCgbar"), panel);
  MinStockLabel = new QLabel(ToQString("min."), panel);
  MinStockEd = FieldEdit(panel, "MinStockEd");
  MinStockEd->setFixedWidth(50);
  KeyRemMemo = new QPlainTextEdit(panel);
  KeyRemMemo->setObjectName("KeyRemMemo");
  KeyRemMemo->setFixedHeight(48);
  CabLabel = FieldLabel(panel, "Schrank:");
  CabLabel->setObjectName("CabLabel");
  CabLabel->setCursor(Qt::PointingHandCursor);
  CabLabel->installEventFilter(this);
  CabInFrame = new TCabInFrame(panel);

  fields->addWidget(KeyNameLabel, 0, 0);
  fields->addWidget(KeyNameEd, 0, 1);
  fields->addWidget(KeyName2Ed, 0, 2);
  fields->addWidget(FieldLabel(panel, "Schlie\xDF"
                                      "anlage:"),
                    1, 0);
  fields->addWidget(KeyKeysystemCombo, 1, 1);
  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(new QLabel(ToQString("Typ:"), panel));
  typeRow->addWidget(KeyTypeCombo, 1);
  fields->addLayout(typeRow, 1, 2);
  fields->addWidget(LockLabel, 2, 0);
  fields->addWidget(LockNrEd, 2, 1);
  fields->addWidget(KeyCutEd, 2, 2);
  auto* counts = new QHBoxLayout;
  counts->setSpacing(6);
  counts->addWidget(KeyInventoryEd);
  counts->addWidget(PcsLabel);
  counts->addWidget(OfTotalLabel);
  counts->addWidget(KeyTotalEd);
  counts->addWidget(MinStockLabel);
  counts->addWidget(MinStockEd);
  counts->addStretch(1);
  fields->addWidget(FieldLabel(panel, "Anzahl:"), 3, 0);
  fields->addLayout(counts, 3, 1, 1, 2);
  fields->addWidget(CabLabel, 4, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(CabInFrame, 4, 1, 1, 2, Qt::AlignLeft | Qt::AlignTop);
  fields->addWidget(FieldLabel(panel, "Bemerkung:"), 5, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(KeyRemMemo, 5, 1, 1, 2);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(2, 1);
  outer->addLayout(fields);

  // The link pages at the left, the holders at the right.
  Splitter = new QSplitter(Qt::Horizontal, panel);
  LinkPageControl = new QTabWidget(Splitter);
  LinkPageControl->setObjectName("LinkPageControl");
  LinkDoorsSheet = new QWidget;
  LinkGroupsSheet = new QWidget;
  LinkCylsSheet = new QWidget;
  LinkKeysSheet = new QWidget;
  LinkDoorsFrame = LinkFrame(LinkDoorsSheet, icDoor, "Schl\xFCssel passt zu den T\xFCren ...");
  LinkGroupsFrame = LinkFrame(LinkGroupsSheet, icGroup, "schlie\xDFt gesamte Gruppe ...");
  LinkCylsFrame = LinkFrame(LinkCylsSheet, icCylinder, "schlie\xDFt einzelne Zylinder ...");
  LinkDoorsFrame->setObjectName("LinkDoorsFrame");
  LinkGroupsFrame->setObjectName("LinkGroupsFrame");
  LinkCylsFrame->setObjectName("LinkCylsFrame");
  LinkDoorsFrame->ShowHouseFilter = true;
  GhsDoorsDetailedCheck = new QCheckBox(ToQString("GHS ausf\xFChrlich"), LinkDoorsFrame->TopPanel);
  GhsDoorsDetailedCheck->setObjectName("GhsDoorsDetailedCheck");
  GhsDoorsDetailedCheck->adjustSize();
  GhsDoorsDetailedCheck->hide();
  {
    auto* layout = new QVBoxLayout(LinkKeysSheet);
    layout->setContentsMargins(0, 0, 0, 0);
    LinkKeysListBox = new QListWidget(LinkKeysSheet);
    LinkKeysListBox->setObjectName("LinkKeysListBox");
    LinkKeysListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    InstallListRowPainter(LinkKeysListBox);
    layout->addWidget(LinkKeysListBox);
  }
  LinkPageControl->addTab(LinkDoorsSheet, ToQString("T\xFCren"));
  LinkPageControl->addTab(LinkGroupsSheet, ToQString("Schlie\xDFgruppen"));
  LinkPageControl->addTab(LinkCylsSheet, ToQString("Zylinder"));
  LinkPageControl->addTab(LinkKeysSheet, ToQString("Schl\xFCssel am Bund"));
  LinkPageControl->setTabVisible(3, false);
  LinkPageControl->setCurrentIndex(0);

  RightPanel = new QFrame(Splitter);
  RightPanel->setObjectName("RightPanel");
  auto* right = new QVBoxLayout(RightPanel);
  right->setContentsMargins(0, 0, 0, 0);
  OwnerSeekEd = FieldEdit(RightPanel, "OwnerSeekEd");
  OwnerSeekEd->setToolTip(ToQString("Name suchen"));
  OwnerSeekEd->setPlaceholderText(ToQString("Name suchen"));
  OwnersGrid = new QTableWidget(RightPanel);
  OwnersGrid->setObjectName("OwnersGrid");
  OwnersGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  OwnersGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  OwnersGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  OwnersGrid->setAlternatingRowColors(true);
  OwnersGrid->verticalHeader()->hide();
  OwnersGrid->verticalHeader()->setDefaultSectionSize(18);
  OwnersGrid->setWordWrap(false);
  OwnersGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  OwnersGrid->setMouseTracking(true);
  OwnersGrid->viewport()->installEventFilter(this);
  OwnersGrid->setMinimumHeight(80);
  {
    QPalette grid = OwnersGrid->palette();
    grid.setColor(QPalette::AlternateBase, ColorFromBgr(clListRowOdd));
    OwnersGrid->setPalette(grid);
  }
  FootPanel = new QFrame(RightPanel);
  FootPanel->setObjectName("FootPanel");
  auto* foot = new QHBoxLayout(FootPanel);
  foot->setContentsMargins(0, 0, 0, 0);
  KeyGotoMaBtn = FootButton(FootPanel, "Person zeigen", "KeyGotoMaBtn");
  KeyRetractionBtn = FootButton(FootPanel,
                                "R\xFC"
                                "cknahme",
                                "KeyRetractionBtn");
  KeyLostBtn = FootButton(FootPanel, "Verlust", "KeyLostBtn");
  KeyFoundBtn = FootButton(FootPanel, "Wiedergefunden", "KeyFoundBtn");
  for (QToolButton* b : {KeyGotoMaBtn, KeyRetractionBtn, KeyLostBtn, KeyFoundBtn})
    foot->addWidget(b);
  foot->addStretch(1);
  right->addWidget(OwnerSeekEd);
  right->addWidget(OwnersGrid, 1);
  right->addWidget(FootPanel);
  Splitter->addWidget(LinkPageControl);
  Splitter->addWidget(RightPanel);
  Splitter->setChildrenCollapsible(false);
  Splitter->setStretchFactor(0, 1);
  Splitter->setStretchFactor(1, 1);
  LinkPageControl->setMinimumWidth(80);
  RightPanel->setMinimumWidth(80);
  outer->addWidget(Splitter, 1);

  // Menus.
  KeyOwnersPopup = new QMenu(this);
  KeyGotoMa1 = KeyOwnersPopup->addAction(ToQString("Person zeigen"));
  KeyRetraction1 = KeyOwnersPopup->addAction(ToQString("R\xFC"
                                                       "cknahme"));
  KeyLost1 = KeyOwnersPopup->addAction(ToQString("Verlust"));
  KeyFound1 = KeyOwnersPopup->addAction(ToQString("Wiedergefunden"));
  KeyOwnersPopup->addSeparator();
  Frist1 = KeyOwnersPopup->addAction(ToQString("Details bearbeiten ..."));
  KeyPrintReceipt1 = KeyOwnersPopup->addAction(ToQString("Quittung drucken"));
  PrintLendControl1 = KeyOwnersPopup->addAction(ToQString("Verleihkontrolle drucken"));
  ShowSig1 = KeyOwnersPopup->addAction(ToQString("Unterschrift anzeigen"));
  KeyPrintOwners1 = KeyOwnersPopup->addAction(ToQString("Besitzerliste drucken"));
  KeyOwnersPopup->addSeparator();
  ShowAllOwners1 = KeyOwnersPopup->addAction(ToQString(CoreText(70)));
  ShowClock1 = KeyOwnersPopup->addAction(ToQString("Ausgabezeit anzeigen"));
  ShowClock1->setCheckable(true);

  LinkKeysPopup = new QMenu(this);
  ShowLinkedKey1 = LinkKeysPopup->addAction(ToQString("Schl\xFCssel zeigen"));
  RemoveKeyFromBunch1 = LinkKeysPopup->addAction(ToQString("vom Bund nehmen (R\xFC"
                                                           "cknahme)"));

  InventurPopupMenu = new QMenu(this);
  Inventur1 = InventurPopupMenu->addAction(ToQString("Inventur ..."));

  ListPopup->addSeparator();
  createAsDoor1 = ListPopup->addAction(ToQString("als T\xFCr anlegen"));
  Split1 = ListPopup->addAction(ToQString("Datensatz-Splitting ..."));
  SplitRebook1 = ListPopup->addAction(ToQString("Splitting Umbuchung ..."));
  ShowOnlyBunches1 = ListPopup->addAction(ToQString("nur Schl\xFCsselbunde anzeigen"));
  ShowOnlyBunches1->setCheckable(true);
  ViewKeyKS1 = ListPopup->addAction(ToQString(FrameKeysText(12)));
  ViewKeyLock1 = ListPopup->addAction(ToQString(FrameKeysText(13)));
  ViewKeyKS1->setCheckable(true);
  ViewKeyLock1->setCheckable(true);
  Count1 = ListPopup->addAction(QString());
  PrintList1->setVisible(true);

  // Handlers.
  connect(NewBtn, &QToolButton::clicked, this, [this] { NewKey(icKey, "", 0, 0); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { KeySaveBtnClick(); });
  disconnect(CancelBtn, &QToolButton::clicked, nullptr, nullptr);
  connect(CancelBtn, &QToolButton::clicked, this, [this] { KeyCancelBtnClick(); });
  connect(JournalBtn, &QToolButton::clicked, this, [this] {
    if (CurrentId != 0) ShowHistoryOf(CurrentId);
  });
  connect(TransferBtn, &QToolButton::clicked, this, [this] { KeyTransferBtnClick(); });
  connect(KeyNameEd, &QLineEdit::editingFinished, this, [this] { KeyNameEdExit(); });
  connect(KeyTotalEd, &QLineEdit::textEdited, this, [this](const QString& text) {
    int32_t total = 0;
    if (Editing) MarkTotalInvalid(!ParseKeyTotal(FromQString(text), total));
  });
  connect(KeyKeysystemCombo, &QComboBox::activated, this, [this] { KeyNameEdExit(); });
  connect(KeyInventoryEd, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    Inventur1->setEnabled(CurrentId != 0 && GlueDB() && GlueDB()->GetClass(CurrentId) == icKey);
    InventurPopupMenu->popup(KeyInventoryEd->mapToGlobal(at));
  });
  connect(Inventur1, &QAction::triggered, this, [this] { Inventur1Click(); });
  // A row more or less moves what stands below the rows at once.
  CabInFrame->OnSizeChanged = [this](int) {
    if (QLayout* layout = EdPanel->widget()->layout()) layout->activate();
  };
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame})
    connect(frame->EdBtn, &QPushButton::clicked, this,
            [this, frame] { LinkFrameEdBtnClick(frame); });
  connect(GhsDoorsDetailedCheck, &QCheckBox::clicked, this, [this] { ShowDoorLinks(); });
  connect(LinkKeysListBox, &QListWidget::itemDoubleClicked, this,
          [this] { LinkKeysListBoxDblClick(); });
  connect(LinkKeysListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QListWidgetItem* item = LinkKeysListBox->itemAt(at)) LinkKeysListBox->setCurrentItem(item);
    const bool chosen = SelectedListId(LinkKeysListBox) != 0;
    ShowLinkedKey1->setEnabled(chosen);
    RemoveKeyFromBunch1->setEnabled(chosen && !Editing);
    LinkKeysPopup->popup(LinkKeysListBox->viewport()->mapToGlobal(at));
  });
  connect(ShowLinkedKey1, &QAction::triggered, this, [this] { LinkKeysListBoxDblClick(); });
  connect(RemoveKeyFromBunch1, &QAction::triggered, this, [this] { RemoveKeyFromBunch1Click(); });
  connect(OwnerSeekEd, &QLineEdit::textChanged, this, [this] { OwnerSeekEdChange(); });
  connect(OwnersGrid, &QTableWidget::itemSelectionChanged, this, [this] { OwnersGridClick(); });
  connect(OwnersGrid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (row >= 0) KeyGotoMaBtnClick();
  });
  connect(OwnersGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateHolderActions();
    ShowClock1->setChecked(SetViewFlag('A', -1));
    KeyOwnersPopup->popup(OwnersGrid->viewport()->mapToGlobal(at));
  });
  connect(KeyGotoMaBtn, &QToolButton::clicked, this, [this] { KeyGotoMaBtnClick(); });
  connect(KeyGotoMa1, &QAction::triggered, this, [this] { KeyGotoMaBtnClick(); });
  connect(KeyRetractionBtn, &QToolButton::clicked, this, [this] { KeyRetractionBtnClick(); });
  connect(KeyRetraction1, &QAction::triggered, this, [this] { KeyRetractionBtnClick(); });
  connect(KeyLostBtn, &QToolButton::clicked, this, [this] { KeyLostBtnClick(); });
  connect(KeyLost1, &QAction::triggered, this, [this] { KeyLostBtnClick(); });
  connect(KeyFoundBtn, &QToolButton::clicked, this, [this] { KeyFoundBtnClick(); });
  connect(KeyFound1, &QAction::triggered, this, [this] { KeyFoundBtnClick(); });
  connect(Frist1, &QAction::triggered, this, [this] { Frist1Click(); });
  connect(KeyPrintReceipt1, &QAction::triggered, this, [this] { KeyPrintReceipt1Click(); });
  connect(PrintLendControl1, &QAction::triggered, this, [this] { PrintLendControl1Click(); });
  connect(ShowSig1, &QAction::triggered, this, [this] { ShowSig1Click(); });
  connect(KeyPrintOwners1, &QAction::triggered, this, [this] { KeyPrintOwners1Click(); });
  connect(ShowAllOwners1, &QAction::triggered, this, [this] { OwnerSeekEd->clear(); });
  connect(ShowClock1, &QAction::triggered, this, [this] { ShowClock1Click(); });
  connect(ListPopup, &QMenu::aboutToShow, this, [this] { KeysPopupPopup(); });
  connect(createAsDoor1, &QAction::triggered, this, [this] { createAsDoor1Click(); });
  connect(Split1, &QAction::triggered, this, [this] { Split1Click(false); });
  connect(SplitRebook1, &QAction::triggered, this, [this] { Split1Click(true); });
  connect(ShowOnlyBunches1, &QAction::triggered, this, [this] { ShowOnlyBunches1Click(); });
  connect(ViewKeyKS1, &QAction::triggered, this, [this] { SetListNameMode(0, true, true); });
  connect(ViewKeyLock1, &QAction::triggered, this, [this] { SetListNameMode(1, true, true); });
  for (QWidget* field :
       std::initializer_list<QWidget*>{KeyNameEd, KeyName2Ed, LockNrEd, KeyCutEd, KeyInventoryEd,
                                       KeyTotalEd, MinStockEd, KeyRemMemo})
    field->installEventFilter(this);

  // The list names a key with its locking system or its closing (ListOption).
  ListingFrame->Formatter = [](int32_t id, uint8_t option) {
    TMiniDB* db = GlueDB();
    if (!db) return TListEntryText{};
    TListEntryText entry = StandardListEntry(*db, id);
    if (db->GetClass(id) != icKey) return entry;
    const std::string extra = option == 1 ? Trim(db->ReadLineField(id, "k603"))
                                          : KeySystemName(*db, db->ReadKeySystem(id));
    if (!extra.empty()) entry.text += "\t" + extra;
    return entry;
  };
  FillLockingSystemCombo(KeyKeysystemCombo, true);
  TranslateForm(this);
  ApplySettings();
  InitLayout();
  ClearDisplay();
}

TFrameKeys::~TFrameKeys() {
  for (int page = PageOfView(glue_.get()); page >= 0; page = PageOfView(glue_.get())) {
    UnregisterPageCommands(page, glue_.get());
    UnregisterView(page, glue_.get());
  }
}

IView& TFrameKeys::KeysGlue() { return *glue_; }

void TFrameKeys::FillKeyTypeCombo() {
  const int index = KeyTypeCombo->currentIndex();
  const QSignalBlocker block(KeyTypeCombo);
  KeyTypeCombo->clear();
  KeyTypeCombo->addItem(QStringLiteral("-"));
  for (int type = 1; type < kKeyTypeCount; ++type)
    KeyTypeCombo->addItem(ToQString(KeyTypeAbbrevOf(type) + " - " + KeyTypeLongName(type)));
  KeyTypeCombo->setCurrentIndex(index);
}

void TFrameKeys::ApplySettings() {
  // Made of a caption already in the user's language.
  ListingFrame->PlaceholderPanel->setText(ToQString("<" + KeysCaption() + ">"));
  SetNoTranslate(ListingFrame->PlaceholderPanel);
  if (ShowAllOwners1) ShowAllOwners1->setText(ToQString(CoreText(70)));
  CabInFrame->ApplySettings();
  FillKeyTypeCombo();
  TMiniDB* db = GlueDB();
  const bool minStock = db && MinimumStockUsed(*db);
  OfTotalLabel->setText(ToQString(minStock ? "max." : FrameKeysText(27)));
  MinStockLabel->setVisible(minStock);
  MinStockEd->setVisible(minStock);
  PcsLabel->setVisible(!minStock);
  // The holders grid's titles and widths.
  const bool times = SetViewFlag('A', -1);
  SetGridColCount(OwnersGrid, 6);
  const std::vector<std::string> titles = {FrameKeysText(25), CoreText(114), CoreText(115),
                                           FrameKeysText(26), CoreText(49),  CoreText(10)};
  for (int c = 0; c < 6; ++c) SetGridCell(OwnersGrid, c, 0, titles[static_cast<size_t>(c)]);
  const QFontMetrics fm(OwnersGrid->font());
  const int dateWidth = fm.horizontalAdvance(QStringLiteral("2003-99-99X"));
  OwnersGrid->setColumnWidth(0, 170);
  OwnersGrid->setColumnWidth(1, fm.horizontalAdvance(ToQString(titles[1] + "X")) + 8);
  OwnersGrid->setColumnWidth(2, fm.horizontalAdvance(ToQString(titles[2] + "X")) + 8);
  OwnersGrid->setColumnWidth(
      3, dateWidth + (times ? fm.horizontalAdvance(QStringLiteral(" 24:00")) : 0));
  OwnersGrid->setColumnWidth(4, dateWidth);
  OwnersGrid->setColumnWidth(5, 200);
}

void TFrameKeys::SetListNameMode(int mode, bool store, bool refreshAll) {
  if (mode != 0 && mode != 1) return;
  nameMode_ = mode;
  ViewKeyKS1->setChecked(mode == 0);
  ViewKeyLock1->setChecked(mode == 1);
  ListingFrame->ListOption = static_cast<uint8_t>(mode);
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (store) {
    const int32_t user = Session().CurrentUserId;
    if (user > 0 && !MandantState().ReadOnlyMode) {
      TStoreWrite write(*db, {user});
      if (write.Ok() && db->GetClass(user) == icUser) {
        db->SetField(user, "KeyName", std::to_string(mode));
        write.Commit();
      }
    }
  }
  if (refreshAll) {
    RefreshAllFrames();
    if (PageOfView(glue_.get()) < 0) ListingFrame->Refresh();
  }
}

// ----- modes ------------------------------------------------------------------------------

void TFrameKeys::SetFieldsEditable(bool editable, int cls, bool daughter) {
  for (QWidget* f :
       std::initializer_list<QWidget*>{KeyNameEd, KeyName2Ed, LockNrEd, KeyCutEd, KeyRemMemo})
    ApplyControlLook(f, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  for (QWidget* c : std::initializer_list<QWidget*>{KeyKeysystemCombo, KeyTypeCombo})
    ApplyControlLook(c, editable ? TControlLook::Editable : TControlLook::Disabled);
  // The available count changes only by bookings and the inventory.
  ApplyControlLook(KeyInventoryEd, editable ? TControlLook::Disabled : TControlLook::ReadOnly);
  const bool counts = editable && cls == icKey && !daughter;
  for (QWidget* f : std::initializer_list<QWidget*>{KeyTotalEd, MinStockEd})
    ApplyControlLook(f, counts ? TControlLook::Editable
                               : (editable ? TControlLook::Disabled : TControlLook::ReadOnly));
  if (editable)
    CabInFrame->StartEdit();
  else
    CabInFrame->EndEdit();
}

void TFrameKeys::ShowViewMode(int cls) {
  Editing = false;
  KeysEditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  TransferBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  JournalBtn->setVisible(shown);
  PrintBtn->setVisible(shown || ListingFrame->Count() > 0);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false, cls, false);
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame})
    frame->ShowList(false);
  LinkPageControl->setTabVisible(3, cls == icKeyBunch);
  KeyNameLabel->setText(ToQString((cls == icKeyBunch ? FrameKeysText(28) : KeyCaption()) + ":"));
  MarkTotalInvalid(false);
  KeyInventoryEd->setToolTip(QString());
}

void TFrameKeys::ShowEditMode(int cls, int state) {
  Editing = true;
  KeysEditState = state;
  ListingFrame->setEnabled(false);
  for (QWidget* b :
       std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, JournalBtn, TransferBtn, PrintBtn})
    b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  TMiniDB* db = GlueDB();
  const bool daughter = db && CurrentId != 0 && db->ReadFirstLink(CurrentId, lkMother) != 0;
  SetFieldsEditable(true, cls, daughter);
  // A bunch opens what its keys open: its own link pages stay as they are.
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame})
    frame->ShowList(cls == icKey);
  LinkPageControl->setTabVisible(3, cls == icKeyBunch);
  if (cls == icKeyBunch) LinkPageControl->setCurrentWidget(LinkKeysSheet);
  KeyNameLabel->setText(ToQString((cls == icKeyBunch ? FrameKeysText(28) : KeyCaption()) + ":"));
  UpdateHolderActions();
}

void TFrameKeys::MarkTotalInvalid(bool invalid) {
  if (invalid)
    SetBase(KeyTotalEd, clInvalidField);
  else if (Editing && !KeyTotalEd->isReadOnly() && KeyTotalEd->isEnabled())
    ApplyControlLook(KeyTotalEd, TControlLook::Editable);
}

void TFrameKeys::ClearDisplay() {
  DropPendingNew();
  CurrentId = 0;
  totalAtStart_.clear();
  ListingFrame->ClearSelection();
  for (QLineEdit* e :
       {KeyNameEd, KeyName2Ed, LockNrEd, KeyCutEd, KeyInventoryEd, KeyTotalEd, MinStockEd})
    e->clear();
  KeyRemMemo->clear();
  KeyKeysystemCombo->setCurrentIndex(-1);
  KeyTypeCombo->setCurrentIndex(-1);
  CabInFrame->Clear(true);
  holdings_.clear();
  {
    const QSignalBlocker block(OwnerSeekEd);
    OwnerSeekEd->clear();
  }
  SetGridRowCount(OwnersGrid, 1);
  LinkKeysListBox->clear();
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame}) {
    frame->SetOwner(0, 0);
    frame->Clear();
  }
  GhsDoorsDetailedCheck->hide();
  ShowViewMode(icKey);
  UpdateHolderActions();
}

void TFrameKeys::DiscardEdit() {
  DropPendingNew();
  ShowViewMode(GlueDB() && CurrentId ? GlueDB()->GetClass(CurrentId) : icKey);
}

// ----- showing ----------------------------------------------------------------------------

void TFrameKeys::ShowKey(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  const int cls = db->GetClass(id);
  if (!db->HasRecord(id) || (cls != icKey && cls != icKeyBunch)) return;
  if (!db->IsValid(id)) {
    // Deleted meanwhile: nothing on screen to act on.
    if (CurrentId == id) ClearDisplay();
    return;
  }
  ListingFrame->SelectId(id);
  CurrentId = id;
  const std::string name = db->GetName(id);
  KeyNameEd->setText(ToQString(name));
  FitCaptionFont(KeyNameEd, name);
  KeyName2Ed->setText(ToQString(db->ReadLineField(id, fkSecondName)));
  const int32_t system = db->ReadKeySystem(id);
  FillLockingSystemCombo(KeyKeysystemCombo, true);
  SelectComboObject(KeyKeysystemCombo, system);
  // A key without a system of its own (1001 without a building) shows "-".
  if (KeyKeysystemCombo->currentIndex() < 0) SelectComboObject(KeyKeysystemCombo, ksNone);
  int type = StrToIntZero(Trim(db->ReadLineField(id, fkKeyType)));
  if (type <= 0 || type >= kKeyTypeCount) type = 0;
  KeyTypeCombo->setCurrentIndex(type);
  LockNrEd->setText(ToQString(db->ReadLineField(id, "k603")));
  const bool cut = LocksmithStore().IsOpen();
  KeyCutEd->setVisible(cut);
  KeyCutEd->setText(cut ? ToQString(LocksmithField(*db, id, "kc")) : QString());
  KeyInventoryEd->setText(ToQString(db->ReadLineField(id, fkStock)));
  KeyTotalEd->setText(ToQString(db->ReadLineField(id, fkTotal)));
  MinStockEd->setText(ToQString(db->ReadLineField(id, fkMinimum)));
  TQStringList remark;
  remark.SetCommaText(db->ReadLineField(id, fkRemark));
  std::string memo;
  for (int i = 0; i < remark.Count(); ++i) memo += (i ? "\n" : "") + remark.Get(i);
  KeyRemMemo->setPlainText(ToQString(memo));

  LinkDoorsFrame->SetOwner(id, 0);
  LinkCylsFrame->SetOwner(id, system);
  LinkGroupsFrame->SetOwner(id, system);
  CabInFrame->LoadRows(id);
  ShowViewMode(cls);
  ShowDoorLinks();

  // Cylinders: a key's own links; a bunch's keys' cylinders.
  if (cls == icKey) {
    LinkCylsFrame->LoadLinks();
  } else {
    TItemList cylinders;
    GetCylindersOfKeysOf(*db, id, cylinders);
    LinkCylsFrame->LinkedIds.Clear();
    std::vector<TListRow> rows;
    for (int32_t i = 0; i < cylinders.Count(); ++i)
      rows.push_back({db->GetDisplayName(cylinders.Get(i)), cylinders.Get(i)});
    LinkCylsFrame->ListModel->SetRows(std::move(rows));
  }
  // Groups with the groups linked to them, until nothing is added.
  {
    TItemList groups;
    if (cls == icKey)
      db->ReadLinks(id, icGroup, groups);
    else
      GetGroupsOfKeysOf(*db, id, groups);
    const bool own = cls == icKey && groups.Count() > 0;
    ExpandGroupLinks(*db, groups);
    LinkGroupsFrame->LinkedIds.Clear();
    if (cls == icKey) db->ReadLinks(id, icGroup, LinkGroupsFrame->LinkedIds);
    std::vector<TListRow> rows;
    for (int32_t i = 0; i < groups.Count(); ++i)
      rows.push_back({db->GetDisplayName(groups.Get(i)), groups.Get(i)});
    LinkGroupsFrame->ListModel->SetRows(std::move(rows));
    LinkGroupsFrame->MarkTab(own);
  }
  ShowBunchKeys();
  {
    const QSignalBlocker block(OwnerSeekEd);
    OwnerSeekEd->clear();
  }
  OwnerSeekEdChange();
}

void TFrameKeys::ShowDoorLinks() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) return;
  const TKeySystemCode master = GeneralMasterKeySystem(*db, CurrentId);
  GhsDoorsDetailedCheck->setVisible(master != 0);
  GhsDoorsDetailedCheck->move(
      std::max(0, LinkDoorsFrame->TopPanel->width() - GhsDoorsDetailedCheck->width() - 4), 2);
  if (master != 0 && !GhsDoorsDetailedCheck->isChecked()) {
    LinkDoorsFrame->LinkedIds.Clear();
    LinkDoorsFrame->ListModel->SetRows({{CoreText(19) + " " + KeySystemName(*db, master), 0}});
    LinkDoorsFrame->MarkTab(false);
    return;
  }
  TItemList doors;
  GetDoorsOpenedBy(*db, CurrentId, doors);
  std::vector<TListRow> rows;
  rows.reserve(static_cast<size_t>(doors.Count()));
  for (int32_t i = 0; i < doors.Count(); ++i)
    rows.push_back({NameWithContext(*db, doors.Get(i), kBracketRound), doors.Get(i)});
  LinkDoorsFrame->ListModel->SetRows(std::move(rows));
  LinkDoorsFrame->LinkedIds.Clear();
  db->ReadLinks(CurrentId, icDoor, LinkDoorsFrame->LinkedIds);
  LinkDoorsFrame->MarkTab(LinkDoorsFrame->LinkedIds.Count() > 0);
}

void TFrameKeys::ShowBunchKeys() {
  LinkKeysListBox->clear();
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) return;
  TItemList keys;
  db->ReadLinks(CurrentId, icKey, keys);
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    if (!db->HasRecord(key)) continue;
    std::string line = db->GetDisplayName(key);
    const std::string identifier = IdentifierOfHolder(*db, key, CurrentId);
    if (!identifier.empty()) {
      const size_t tab = line.find('\t');
      const std::string mark = " (" + identifier + ")";
      if (tab == std::string::npos)
        line += mark;
      else
        line.insert(tab, mark);
    }
    AddListItem(LinkKeysListBox, line, key);
  }
}

void TFrameKeys::RefreshView() {
  ListingFrame->Refresh();
  if (Editing) {
    CabInFrame->FillCabinetCombos();
    return;
  }
  if (CurrentId != 0)
    ShowKey(CurrentId);
  else
    ShowViewMode(icKey);
}

// ----- editing ----------------------------------------------------------------------------

bool TFrameKeys::StartEditKey(bool drop) {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing) return false;
  if (RightDeniedFor(rtKeys, CurrentId)) return false;
  if (IView* cabinets = ViewOf(pgCabinets); cabinets && cabinets->Editing()) {
    ShowError(FrameKeysText(2));
    return false;
  }
  if (!LockCurrentForEdit(FrameKeysText(1), false)) return false;
  const int cls = db->GetClass(CurrentId);
  ShowKey(CurrentId);
  totalAtStart_ = Trim(db->ReadLineField(CurrentId, fkTotal));
  ShowEditMode(cls, 1);
  if (drop) {
    db->UnlockItem(CurrentId);
    CurrentId = 0;
    for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame})
      frame->SetOwner(0, frame->ContextId);
    NewClass = static_cast<uint8_t>(cls);
    totalAtStart_.clear();
  }
  UpdateHolderActions();
  FocusControlIfPossible(KeyNameEd);
  return true;
}

bool TFrameKeys::NewKey(int cls, const std::string& name, int32_t door, int32_t system) {
  TMiniDB* db = GlueDB();
  if (!db || KeysEditState != 0) return false;
  ReloadAndRefresh();
  if (RightDenied(rtKeys)) return false;
  if (IView* cabinets = ViewOf(pgCabinets); cabinets && cabinets->Editing()) {
    ShowError(FrameKeysText(2));
    return false;
  }
  ClearDisplay();
  ListingFrame->ClearSelection();
  NewClass = static_cast<uint8_t>(cls == icKeyBunch ? icKeyBunch : icKey);
  ShowEditMode(NewClass, 2);
  KeyTotalEd->setText(QStringLiteral("1"));
  KeyTypeCombo->setCurrentIndex(0);
  totalAtStart_.clear();
  int32_t chosen = system;
  if (chosen == 0 && NewClass == icKey) chosen = LastSystem;
  FillLockingSystemCombo(KeyKeysystemCombo, true);
  if (chosen != 0) SelectComboObject(KeyKeysystemCombo, chosen);
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkCylsFrame}) {
    frame->SetOwner(0, frame == LinkDoorsFrame ? 0 : chosen);
    frame->FillHouseCombo();
    frame->HouseCombo->setCurrentIndex(-1);
  }
  int32_t cabinet = LastCabinet;
  if (cabinet == 0 && Session().CurrentUserId > 0)
    cabinet = db->ReadOnlyLink(Session().CurrentUserId, icCabinet);
  CabInFrame->LoadRows(0);
  CabInFrame->StartEdit();
  CabInFrame->PresetCabinet(cabinet);
  if (door != 0 && NewClass == icKey) {
    LinkPageControl->setCurrentWidget(LinkDoorsSheet);
    LinkDoorsFrame->StartEdit(door);
  }
  KeyNameEd->setText(ToQString(name.empty() && NewClass == icKeyBunch ? CoreText(85) : name));
  KeyInventoryEd->setToolTip(ToQString(FrameKeysText(3)));
  FocusControlIfPossible(KeyNameEd);
  return true;
}

void TFrameKeys::KeyNameEdExit() {
  if (!Editing || KeyTypeCombo->currentIndex() > 0) return;
  std::string name = Trim(FromQString(KeyNameEd->text()));
  const size_t blank = name.find(' ');
  if (blank != std::string::npos) name.resize(blank);
  const int type = ParseKeyType(name);
  if (type > 0 && type < kKeyTypeCount) KeyTypeCombo->setCurrentIndex(type);
}

void TFrameKeys::LinkFrameEdBtnClick(TLinkingFrame* frame) {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return;
  RefreshIfChanged();
  KeyKeysystemCombo->setEnabled(false);
  const int32_t system = GetComboObjectId(KeyKeysystemCombo, 0);
  frame->SetOwner(CurrentId, frame == LinkDoorsFrame ? 0 : system);
  if (KeyTypeCombo->currentIndex() == kKeyTypeGeneralMaster) {
    frame->SelectAllBtn->setEnabled(false);
    ShowInfo(FrameKeysText(11));
    if (frame == LinkDoorsFrame) return;
  }
  frame->OpenCheckList();
}

void TFrameKeys::DropPendingNew() {
  TMiniDB* db = GlueDB();
  if (!db || pendingNewId_ == 0) return;
  const int32_t id = pendingNewId_;
  pendingNewId_ = 0;
  // The record a refused save made: it holds nothing anyone else saw, so it goes.
  TStoreWrite write(*db, {id});
  if (write.Ok() && db->HasRecord(id) && write.Include(RecordsTouchedByDelete(*db, id)) &&
      db->MarkDeleted(id))
    write.Commit();
}

void TFrameKeys::KeyCancelBtnClick() {
  TMiniDB* db = GlueDB();
  DropPendingNew();
  if (CurrentId != 0) {
    ShowViewMode(db ? db->GetClass(CurrentId) : icKey);
    if (db) db->UnlockItem(CurrentId);
    RefreshView();
  } else {
    ClearDisplay();
  }
  FocusList();
}

bool TFrameKeys::KeySaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(KeyNameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(KeyNameEd);
    return false;
  }
  std::string error;
  if (!CabInFrame->SaveRows(*db, true, error)) {
    ShowError(error);
    return false;
  }
  const bool isNew = KeysEditState == 2 || CurrentId == 0;
  const int cls = isNew ? NewClass : db->GetClass(CurrentId);
  TKeyInput input;
  input.cls = cls;
  input.name = name;
  input.name2 = Trim(FromQString(KeyName2Ed->text()));
  input.system = GetComboObjectId(KeyKeysystemCombo, 0);
  input.keyType = std::max(0, KeyTypeCombo->currentIndex());
  input.lockNr = Trim(FromQString(LockNrEd->text()));
  input.total = Trim(FromQString(KeyTotalEd->text()));
  input.totalAtStart = isNew ? std::string() : totalAtStart_;
  input.minStock = Trim(FromQString(MinStockEd->text()));
  {
    TQStringList memo;
    memo.SetText(FromQString(KeyRemMemo->toPlainText()));
    input.remark = memo.GetCommaText();
  }
  int32_t totalValue = 0;
  if (!ParseKeyTotal(input.total, totalValue)) {
    MarkTotalInvalid(true);
    ShowError(CoreTextFmt(18, input.total));
    FocusControlIfPossible(KeyTotalEd);
    return false;
  }
  MarkTotalInvalid(false);
  if (Session().RightLevels[rtKeys] == rlOwnCabinets) {
    const TItemList cabinets = CabInFrame->GetCabinetIds();
    if (!UserHasAnyCabinet(cabinets)) {
      ShowError(CoreText(122));
      return false;
    }
  }

  // The ticks of the link frames: their questions come before the write.
  const bool general = input.keyType == kKeyTypeGeneralMaster;
  std::vector<TLinkChange> changes;
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkCylsFrame, LinkGroupsFrame}) {
    // A general master key keeps no door links.
    if (cls != icKey || !frame->CheckListShown() || (general && frame == LinkDoorsFrame)) continue;
    TLinkChange change;
    if (!isNew) {
      change = frame->PrepareLinks(CurrentId, icKey);
    } else {
      frame->SyncTicks();
      change.kind = frame->LinkedType;
      change.ownerClass = icKey;
      change.oneSided = frame->LinkFlag;
      for (int32_t i = 0; i < frame->LinkedIds.Count(); ++i)
        change.wanted.push_back(frame->LinkedIds.Get(i));
    }
    changes.push_back(std::move(change));
  }

  // The records the write holds: the key, its cabinets now and chosen, every record whose
  // links change (a general master key's doors too).
  const int32_t existing = isNew ? pendingNewId_ : CurrentId;
  std::vector<int32_t> records;
  auto add = [&records](int32_t id) {
    if (id > 0 && std::find(records.begin(), records.end(), id) == records.end())
      records.push_back(id);
  };
  add(existing);
  if (existing) {
    TItemList now;
    db->GetLinks(existing, icCabinet, now);
    for (int32_t i = 0; i < now.Count(); ++i) add(now.Get(i));
    if (general) {
      db->GetLinks(existing, icDoor, now);
      for (int32_t i = 0; i < now.Count(); ++i) add(now.Get(i));
    }
  }
  const TItemList chosenCabinets = CabInFrame->GetCabinetIds();
  for (int32_t i = 0; i < chosenCabinets.Count(); ++i) add(chosenCabinets.Get(i));
  for (const TLinkChange& change : changes)
    for (int32_t id : LinkChangeRecords(*db, change)) add(id);

  enum class TRefusal { None, Blocked, Duplicate, Gone, Rows, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  TStoredKey stored;
  int32_t saved = existing;
  const std::string fullName = NameWithSecondName(name, input.name2);
  {
    TStoreWrite write(*db, records);
    auto blocked = [&] {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    };
    if (!write.Ok()) {
      blocked();
    } else if (FindDuplicateKeyName(*db, cls, fullName, input.system, existing) != 0) {
      refusal = TRefusal::Duplicate;
    } else if (!isNew && (!db->HasRecord(existing) || !db->IsValid(existing) ||
                          db->GetClass(existing) != cls)) {
      refusal = TRefusal::Gone;
    } else {
      // Every check passed. A new record is made once: a refused save keeps its ID for the
      // next try.
      if (isNew && (saved == 0 || !db->HasRecord(saved))) {
        saved = db->NewRecord(cls);
        pendingNewId_ = saved;
      }
      // Linked records the fresh data adds (a cabinet link made meanwhile ...).
      std::vector<int32_t> more{saved};
      TItemList linked;
      for (int kind : {int(icCabinet), int(icDoor)}) {
        db->GetLinks(saved, kind, linked);
        for (int32_t i = 0; i < linked.Count(); ++i) more.push_back(linked.Get(i));
      }
      if (saved == 0) {
        refusal = TRefusal::NotSaved;
      } else if (!write.Include(more)) {
        blocked();
      } else if (!StoreKey(*db, saved, isNew, input, stored)) {
        refusal = TRefusal::NotSaved;
      } else {
        CabInFrame->KeyId = saved;
        if (!CabInFrame->SaveRows(*db, false, error)) {
          refusal = TRefusal::Rows;
        } else {
          if (!ApplyAllLinkChanges(write, *db, changes, isNew ? saved : 0))
            blocked();
          else if (!write.Commit())
            refusal = TRefusal::NotSaved;
        }
      }
    }
  }
  switch (refusal) {
    case TRefusal::None: break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::Duplicate: TellNameTaken(FrameKeysText(4), KeyNameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameKeysText(1), false); return false;
    case TRefusal::Rows: ShowError(error); return false;
    case TRefusal::NotSaved: return false;
  }

  // Saved: the history follows the save.
  pendingNewId_ = 0;
  db->RefreshName(saved);
  const std::string display = db->GetValidDisplayName(saved);
  if (stored.created)
    HistoryNew(cls, saved, display, stored.stock + " / " + stored.total);
  else if (stored.oldName != name)
    HistoryRen(cls, saved, name, stored.oldName);
  if (!stored.created && stored.totalChanged)
    HistoryTotal(cls, saved, display,
                 (stored.totalDelta > 0 ? "+" : "") + std::to_string(stored.totalDelta),
                 stored.stock + " / " + stored.total);
  if (KeyCutEd->isVisible())
    SetLocksmithField(*db, saved, "kc", Trim(FromQString(KeyCutEd->text())));
  if (isNew && cls == icKey) {
    LastSystem = input.system;
    if (chosenCabinets.Count() == 1) LastCabinet = chosenCabinets.Get(0);
  }
  if (existing && !isNew) db->UnlockItem(existing);
  CurrentId = saved;
  BuildLockingSystemList();
  ShowViewMode(cls);
  RefreshAllFrames();
  if (PageOfView(glue_.get()) < 0) ListingFrame->Refresh();
  ShowKey(saved);
  // The counts against the cabinet rows.
  int32_t sumTotal = 0, sumStock = 0;
  const int differs = SumCabinetTotals(*db, saved, db->ReadLineField(saved, fkTotal),
                                       db->ReadLineField(saved, fkStock), sumTotal, sumStock);
  std::string note;
  if (differs & kCabinetStockDiffers) note += FrameKeysTextFmt(5, std::to_string(sumStock)) + "\r";
  if (differs & kCabinetTotalsDiffer) note += FrameKeysTextFmt(6, std::to_string(sumTotal));
  if (!note.empty()) ShowInfo(note);
  FocusList();
  return true;
}

int32_t TFrameKeys::DuplicateKey() {
  TMiniDB* db = GlueDB();
  if (!db || Editing || CurrentId == 0) return 0;
  if (RightDeniedFor(rtKeys, CurrentId)) return 0;
  const int32_t source = CurrentId;
  int32_t copy = 0;
  std::string blocking;
  {
    TStoreWrite write(*db, {source});
    if (write.Ok() && db->HasRecord(source) && db->IsValid(source)) {
      copy = DuplicateKeyRecord(write, *db, source);
      if (copy != 0 && !write.Commit()) copy = 0;
    }
    if (copy == 0 && !write.Blocking().empty()) blocking = write.Blocking();
  }
  if (copy == 0) {
    ShowError(CoreText(113));
    return 0;
  }
  HistoryNew(db->GetClass(copy), copy, db->GetValidDisplayName(copy),
             db->ReadLineField(copy, fkStock) + " / " + db->ReadLineField(copy, fkTotal));
  CurrentId = copy;
  RefreshAllFrames();
  if (PageOfView(glue_.get()) < 0) ListingFrame->Refresh();
  ShowKey(copy);
  StartEditKey(false);
  return copy;
}

bool TFrameKeys::HandleCommand(char letter) {
  if (letter == kCmdDuplicate) {
    DuplicateKey();
    return true;
  }
  return HandleShortcut(letter);
}

// ----- deleting ---------------------------------------------------------------------------

bool TFrameKeys::CanDelete() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  if (RightDeniedFor(rtKeys, CurrentId)) return false;
  const std::string refusal = KeyDeleteRefusal(*db, CurrentId);
  if (refusal.empty()) return true;
  ShowError(refusal);
  if (refusal == FrameKeysText(7)) RefreshAllFrames();
  return false;
}

std::string TFrameKeys::DeleteQuestion(const std::string& name) {
  return FrameKeysTextFmt(9, "\"" + name + "\"");
}

bool TFrameKeys::BeforeDelete(TStoreWrite& write, int32_t id) {
  TMiniDB* db = GlueDB();
  returnRefused_ = false;
  if (!db) return false;
  // A copy's pieces in stock go back to her mother with the deletion, in the same write.
  if (!ReturnCopyStockInWrite(write, *db, id)) {
    returnRefused_ = write.Blocking().empty();
    return false;
  }
  return true;
}

void TFrameKeys::AfterDelete(int32_t /*id*/, bool deleted) {
  if (!deleted && returnRefused_) ShowError(CoreText(77));
  returnRefused_ = false;
}

// ----- issue ------------------------------------------------------------------------------

void TFrameKeys::KeyTransferBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || RightDenied(rtIssue)) return;
  const std::string available = Trim(FromQString(KeyInventoryEd->text()));
  if (!available.empty() && StrToIntZero(available) < 1 && AskYesCancel(CoreText(111)) != mrYes)
    return;
  ShowPage(pgIssueReturn, true);
  const TTransferRecord& pending = TransferRec();
  if (pending.Pending()) {
    // A transfer of this key is already prepared: its page shows it. The key is in its
    // list; KeyId is set only while a booking runs.
    if (pending.Keys.IndexOf(CurrentId) < 0 && pending.KeyId != CurrentId)
      ShowError(FrameKeysText(10));
    return;
  }
  TTransferStartRequest request;
  request.kind = tkIssue;
  request.cabinetId = CabInFrame->SelectedCabinet();
  request.keys = {CurrentId};
  StartTransfer(request);
  UI().ProcessPendingEvents();
  ShowTransferDocument("issue.html");
}

void TFrameKeys::ViewCall(int command, int32_t id) {
  switch (command) {
    case kCmdNew: NewKey(icKeyBunch, "", 0, 0); break;
    case 'T':
      if (id != 0 && id != CurrentId && !Editing) ShowKey(id);
      if (!Editing) KeyTransferBtnClick();
      break;
    case kKeysCallReturn: SelectHolder(CurrentId, id, 3, "", ""); break;
    default: break;
  }
}

// ----- list pop-up and tools --------------------------------------------------------------

void TFrameKeys::KeysPopupPopup() {
  TMiniDB* db = GlueDB();
  const int32_t selected = ListingFrame->SelectedRow() >= 0 ? ListingFrame->SelectedId() : 0;
  Ed1->setEnabled(selected != 0);
  createAsDoor1->setEnabled(selected != 0);
  Split1->setEnabled(selected != 0 && db && db->GetClass(selected) == icKey);
  SplitRebook1->setEnabled(Split1->isEnabled());
  PrintList1->setEnabled(ListingFrame->Count() > 0);
  Count1->setText(ToQString(CoreTextFmt(102, std::to_string(ListingFrame->Count()))));
}

void TFrameKeys::createAsDoor1Click() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) return;
  ShowPage(pgDoors, true);
  // The doors view starts a door for this key: named as it, in its system, linked to it.
  if (IView* doors = ViewOf(pgDoors); doors && !doors->Editing()) doors->ViewCall(kCmdNew, CurrentId);
}

void TFrameKeys::Split1Click(bool rebook) {
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (Editing) {
    ShowError(CoreText(32));
    return;
  }
  const int32_t key = ListingFrame->SelectedRow() >= 0 ? ListingFrame->SelectedId() : CurrentId;
  if (key == 0 || RightDenied(rtKeys)) return;
  const bool daughter = db->ReadFirstLink(key, lkMother) != 0;
  bool done = false;
  if (!rebook) {
    if (daughter) {
      ShowError(CoreText(78));
      return;
    }
    done = ExecuteSplit(key);
  } else {
    if (!daughter) {
      ShowError(CoreText(84));
      return;
    }
    done = ExecuteSplitRebook(key);
  }
  if (done) RefreshAllFrames();
}

void TFrameKeys::ShowOnlyBunches1Click() {
  TMiniDB* db = GlueDB();
  if (ShowOnlyBunches1->isChecked())
    ListingFrame->Filter = [db](int32_t id) { return db && db->GetClass(id) == icKeyBunch; };
  else
    ListingFrame->Filter = nullptr;
  ListingFrame->Refresh();
}

void TFrameKeys::Inventur1Click() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || db->GetClass(CurrentId) != icKey) return;
  const bool started = !Editing && StartEditKey(false);
  if (KeysEditState == 1) {
    ExecuteInventory(CurrentId);
    KeyInventoryEd->setText(ToQString(db->ReadLineField(CurrentId, fkStock)));
  }
  if (started) KeyCancelBtnClick();
}

void TFrameKeys::LockLabelClick() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  int32_t system = GetComboObjectId(KeyKeysystemCombo, 0);
  if (system == 0 && CurrentId == 0) system = ksAll;
  const std::string closing = Trim(FromQString(LockNrEd->text()));
  ShowStockList(icKey, system, 0, "", "\"" + closing + "\"");
  const int32_t chosen = SelectFromStockList();
  if (chosen != 0 && !Editing) ShowKey(chosen);
}

void TFrameKeys::CabLabelClick() {
  const int32_t cabinet = CabInFrame->SelectedCabinet();
  if (cabinet != 0)
    GotoItem(cabinet, true);
  else
    ShowPage(pgCabinets, true);
}

void TFrameKeys::LinkKeysListBoxDblClick() {
  const int32_t key = SelectedListId(LinkKeysListBox);
  if (key != 0) SelectHolder(key, CurrentId, 0, "", "");
}

void TFrameKeys::RemoveKeyFromBunch1Click() {
  const int32_t key = SelectedListId(LinkKeysListBox);
  if (key != 0) SelectHolder(key, CurrentId, 3, "", "");
}

// ----- holders grid -----------------------------------------------------------------------

void TFrameKeys::OwnerSeekEdChange() {
  SetBase(OwnerSeekEd, OwnerSeekEd->text().isEmpty() ? 0xFFFFFF : clSeekActive);
  FillOwnersGrid();
}

void TFrameKeys::FillOwnersGrid() {
  TMiniDB* db = GlueDB();
  holdings_.clear();
  const QSignalBlocker block(OwnersGrid);
  SetGridRowCount(OwnersGrid, 1);
  if (db && CurrentId != 0) holdings_ = LoadHolderRecs(*db, CurrentId);
  const std::string search = AnsiLowerCase(Trim(FromQString(OwnerSeekEd->text())));
  const bool times = SetViewFlag('A', -1);
  std::vector<size_t> shown;
  for (size_t i = 0; i < holdings_.size(); ++i) {
    const THolderEntry& e = holdings_[i];
    const std::string holder = HolderText(*db, e);
    if (!search.empty() && AnsiLowerCase(holder).find(search) == std::string::npos) continue;
    shown.push_back(i);
  }
  SetGridRowCount(OwnersGrid, static_cast<int>(shown.size()) + 1);
  for (size_t r = 0; r < shown.size(); ++r) {
    const THolderEntry& e = holdings_[shown[r]];
    const int row = static_cast<int>(r) + 1;
    std::string issued = IsoDateToLocalStr(e.FirstDate);
    if (times && !e.Time.empty()) issued += " " + e.Time;
    SetGridCell(OwnersGrid, 0, row, HolderText(*db, e));
    SetGridCell(OwnersGrid, 1, row, e.Count);
    SetGridCell(OwnersGrid, 2, row, e.Identifier);
    SetGridCell(OwnersGrid, 3, row, issued);
    SetGridCell(OwnersGrid, 4, row, IsoDateToLocalStr(e.Deadline));
    SetGridCell(OwnersGrid, 5, row, e.Remark);
    SetGridRowId(OwnersGrid, row, static_cast<int32_t>(shown[r]) + 1);
  }
  GridClearSelection(OwnersGrid);
  UpdateHolderActions();
}

const THolderEntry* TFrameKeys::SelectedHolding() const {
  const int32_t index = GridSelectedId(OwnersGrid);
  if (index < 1 || index > static_cast<int32_t>(holdings_.size())) return nullptr;
  return &holdings_[static_cast<size_t>(index - 1)];
}

void TFrameKeys::UpdateHolderActions() {
  ShowAllOwners1->setEnabled(!OwnerSeekEd->text().isEmpty());
  QWidget* buttons[] = {KeyGotoMaBtn, KeyRetractionBtn, KeyLostBtn, KeyFoundBtn};
  QAction* actions[] = {KeyGotoMa1,        Frist1,          KeyRetraction1,
                        KeyLost1,          KeyFound1,       KeyPrintReceipt1,
                        PrintLendControl1, KeyPrintOwners1, ShowSig1};
  for (QWidget* b : buttons) b->setEnabled(false);
  for (QAction* a : actions) a->setEnabled(false);
  const THolderEntry* held = SelectedHolding();
  if (!held) return;
  ShowSig1->setEnabled(true);
  if (Editing) return;
  auto enable = [](std::initializer_list<QObject*> items) {
    for (QObject* o : items) {
      if (auto* w = qobject_cast<QWidget*>(o)) w->setEnabled(true);
      if (auto* a = qobject_cast<QAction*>(o)) a->setEnabled(true);
    }
  };
  switch (held->Kind) {
    case okPerson:
      enable({KeyGotoMaBtn, KeyGotoMa1, KeyRetractionBtn, KeyRetraction1, KeyLostBtn, KeyLost1,
              KeyPrintReceipt1, PrintLendControl1, Frist1, KeyPrintOwners1});
      break;
    case okKeyBunch:
      // A bunch cannot lose a key: no person could be booked for the loss.
      enable({KeyRetractionBtn, KeyRetraction1, KeyPrintReceipt1, PrintLendControl1, Frist1,
              KeyPrintOwners1});
      break;
    case okLost:
      enable({KeyGotoMaBtn, KeyGotoMa1, KeyFoundBtn, KeyFound1, KeyPrintReceipt1, PrintLendControl1,
              Frist1, KeyPrintOwners1});
      break;
    case okDefective: enable({KeyPrintReceipt1, Frist1, KeyPrintOwners1}); break;
    case okSupplier:
    case okCabinet:
    case okStock: enable({Frist1, KeyPrintOwners1}); break;
    default: break;
  }
}

void TFrameKeys::KeyGotoMaBtnClick() {
  const THolderEntry* held = SelectedHolding();
  if (!held || (held->Kind != okPerson && held->Kind != okLost) || held->HolderId == 0) return;
  GotoItem(held->HolderId, true);
}

void TFrameKeys::StartHolderTransfer(int kind) {
  const THolderEntry* selected = SelectedHolding();
  if (!selected || Editing || CurrentId == 0) return;
  const THolderEntry held = *selected;
  const bool fits = (kind == 3 && (held.Kind == okPerson || held.Kind == okKeyBunch)) ||
                    (kind == 5 && held.Kind == okPerson) || (kind == 6 && held.Kind == okLost);
  if (!fits) {
    if (kind == 5 && held.Kind == okKeyBunch) ShowError(FrameKeysText(29));
    return;
  }
  if (RightDenied(kind == 3 ? rtReturn : rtLossFind)) return;
  // The holding's pieces are the limit of what may be booked out of it.
  int32_t count = 0;
  if (!TryStrToInt(Trim(held.Count), count) || count < 1) {
    ShowError(CoreTextFmt(18, held.Count));
    return;
  }
  if (kind != 6 && held.Kind == okPerson) GotoItem(held.HolderId, false);
  ShowTransferDocument(kind == 3 ? "return.html" : kind == 5 ? "lost.html" : "found.html");
  TTransferStartRequest request;
  request.kind = kind;
  request.holderId = held.HolderId;
  request.cabinetId = kind == 3 ? held.CabinetId : 0;
  request.holdingDate = held.FirstDate;
  request.holdingReceiptNo = held.ReceiptNo;
  request.identifier = held.Identifier;
  request.quantityLimit = count;
  StartTransfer(request);
}

int TFrameKeys::SelectHolder(int32_t key, int32_t holder, int mode, const std::string& receiptNo,
                             const std::string& firstDate) {
  // While a key is edited, nothing else is shown or started here.
  if (KeysEditState != 0) return 0;
  if (key != CurrentId) ShowKey(key);
  if (CurrentId != key) return 0;
  OwnerSeekEd->clear();
  std::vector<int> rows;
  for (int row = 1; row < GridRowCount(OwnersGrid); ++row) {
    const int32_t index = GridRowId(OwnersGrid, row);
    if (index < 1 || index > static_cast<int32_t>(holdings_.size())) continue;
    const THolderEntry& e = holdings_[static_cast<size_t>(index - 1)];
    // Only the holders a key can be taken back from: a lost line names the person too.
    if (e.Kind != okPerson && e.Kind != okKeyBunch) continue;
    if (e.HolderId != holder) continue;
    if (!receiptNo.empty() && e.ReceiptNo != receiptNo) continue;
    if (!firstDate.empty() && e.FirstDate != firstDate) continue;
    rows.push_back(row);
  }
  if (rows.empty()) return 0;
  if (rows.size() >= 2) {
    const THolderEntry& e = holdings_[static_cast<size_t>(GridRowId(OwnersGrid, rows[0]) - 1)];
    TMiniDB* db = GlueDB();
    const int32_t first = GridRowId(OwnersGrid, rows[0]);
    OwnerSeekEd->setText(ToQString(db ? HolderText(*db, e) : ""));
    for (int row = 1; row < GridRowCount(OwnersGrid); ++row)
      if (GridRowId(OwnersGrid, row) == first) GridSelectRow(OwnersGrid, row);
  } else {
    GridSelectRow(OwnersGrid, rows[0]);
  }
  FocusControlIfPossible(OwnersGrid);
  UpdateHolderActions();
  if (rows.size() == 1 && mode == 3)
    KeyRetractionBtnClick();
  else
    ShowPage(pgKeys, true);
  return static_cast<int>(rows.size());
}

void TFrameKeys::ShowClock1Click() {
  ToggleViewFlag('A');
  ApplySettings();
  FillOwnersGrid();
}

void TFrameKeys::Frist1Click() {
  TMiniDB* db = GlueDB();
  const THolderEntry* selected = SelectedHolding();
  if (!db || !selected) return;
  if (Editing) {
    ShowError(CoreText(100));
    return;
  }
  if (RightDenied(rtIssue)) return;
  const THolderEntry held = *selected;
  if (!LockOnFreshData(*db, held.KeyId)) return;
  const bool saved = EditHolding(held);
  db->UnlockItem(held.KeyId);
  FillOwnersGrid();
  if (saved)
    if (IView* limits = ViewOf(pgLimits)) limits->RefreshView();
}

void TFrameKeys::ShowSig1Click() {
  const THolderEntry* held = SelectedHolding();
  if (!held) return;
  if (held->SignatureRef.empty() || !ShowSignature(held->SignatureRef)) ShowInfo(CoreText(137));
}

void TFrameKeys::PrintLendControl1Click() {
  const THolderEntry* held = SelectedHolding();
  if (!held || held->Kind != okPerson || RightDenied(rtPrintLists)) return;
  if (AskPrintForm() && !PrintSelectSimple(CoreText(4))) return;
  PrintLendControlSheet(held->HolderId, true);
}

void TFrameKeys::KeyPrintOwners1Click() {
  if (RightDenied(rtPrintLists)) return;
  if (AskPrintForm() && !PrintSelectSimple(CoreText(4))) return;
  PrintHolderList();
}

void TFrameKeys::KeyPrintReceipt1Click() {
  if (RightDenied(rtPrintLists)) return;
  PrintSelectedReceipt();
}

bool TFrameKeys::PrintHolderList() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) {
    ShowInfo(FrameKeysText(24));
    return false;
  }
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < GridRowCount(OwnersGrid); ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < GridColCount(OwnersGrid); ++col)
      cells.push_back(GridCell(OwnersGrid, col, row));
    rows.push_back(std::move(cells));
  }
  const std::string file = CreateTempFile();
  if (file.empty() || !SaveTextFile(TabPrintLines(rows), file)) {
    if (!file.empty()) DeleteTempFile(file);
    ShowError(CoreText(134) + "\r" + file);
    return false;
  }
  ShowWaitDefault();
  const bool printed = PrintStringGrid(FrameKeysTextFmt(23, db->GetDisplayName(CurrentId)), file,
                                       GridColCount(OwnersGrid));
  HideWaitText();
  DeleteTempFile(file);
  if (!printed && !ApplicationTerminated()) ShowInfo(CoreText(29));
  return printed;
}

bool TFrameKeys::PrintSelectedReceipt() {
  TMiniDB* db = GlueDB();
  const THolderEntry* held = SelectedHolding();
  if (!db || !held || CurrentId == 0) return false;
  int event = 0;
  switch (held->Kind) {
    case okPerson:
    case okKeyBunch: event = tkIssue; break;
    case okLost: event = tkLoss; break;
    case okDefective: event = tkDefect; break;
    default: return false;
  }
  if (AskPrintForm() && !PrintSelectSimple(CoreText(4))) return false;
  THolderEntry full = *held;
  for (const THolderEntry& e : LoadHolderRecs(*db, CurrentId, false))
    if (e.Kind == held->Kind && e.HolderId == held->HolderId && e.ReceiptNo == held->ReceiptNo &&
        e.FirstDate == held->FirstDate)
      full = e;
  TKeyReceipt receipt;
  receipt.event = event;
  receipt.key = CurrentId;
  receipt.person = held->Kind == okPerson || held->Kind == okLost ? held->HolderId : 0;
  receipt.cabinet = held->CabinetId;
  receipt.deadline = full.Deadline;
  receipt.label = full.Identifier;
  receipt.seqNumber = full.ReceiptNo;
  receipt.notes1 = ItemRemarkLine(*db, CurrentId);
  receipt.notes2 = full.Remark;
  receipt.user = CurrentUserDisplayName();
  receipt.date = full.FirstDate;
  receipt.keyCount = full.Count;
  receipt.system = KeySystemName(*db, db->ReadKeySystem(CurrentId));
  receipt.keyText = db->GetDisplayName(CurrentId);
  return PrintKeyReceipt(receipt, db);
}

std::vector<int32_t> TFrameKeys::ListedKeys() const {
  std::vector<int32_t> keys;
  for (int row = 0; row < ListingFrame->Count(); ++row)
    if (ListingFrame->IdAt(row) != 0) keys.push_back(ListingFrame->IdAt(row));
  return keys;
}

void TFrameKeys::PrintMenu() {
  TMiniDB* db = GlueDB();
  if (!db || RightDenied(rtPrintLists)) return;
  const THolderEntry* held = SelectedHolding();
  const bool isBunch = CurrentId != 0 && db->GetClass(CurrentId) == icKeyBunch;
  const bool hasHolders = GridRowCount(OwnersGrid) > 1 && GridRowId(OwnersGrid, 1) != 0;
  const std::string keyName = CurrentId ? db->GetDisplayName(CurrentId) : std::string();
  ClearPrintChoices();
  AddPrintChoice(FrameKeysText(16), 0, CurrentId != 0, false, true);
  AddPrintChoice(FrameKeysText(17), 1, true, true, true);
  AddPrintChoice(CurrentId ? FrameKeysText(18) + " " + keyName : FrameKeysText(19), 2, hasHolders,
                 false, false);
  const bool personHeld = held && held->Kind == okPerson;
  AddPrintChoice(personHeld ? FrameKeysText(20) + " " + HolderText(*db, *held) : FrameKeysText(21),
                 3, personHeld, false, false);
  AddPrintChoice(FrameKeysText(22), 4, isBunch, false, false);
  int code = -1;
  if (!ExecutePrintSelect(PrintKeyList(), code)) return;
  switch (code) {
    case 0:
      if (CurrentId) PrintRecordsToFile({CurrentId}, 0);
      break;
    case 1: PrintRecordsToFile(ListedKeys(), 0); break;
    case 2: PrintHolderList(); break;
    case 3: PrintSelectedReceipt(); break;
    case 4: {
      TItemList keys;
      db->ReadLinks(CurrentId, icKey, keys);
      std::vector<int32_t> list(keys.Items(), keys.Items() + keys.Count());
      PrintRecordsToFile(list, CurrentId);
      break;
    }
    default: break;
  }
}

// ----- events -----------------------------------------------------------------------------

void TFrameKeys::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  const int top = ListingFrame->y();
  const int listWidth = std::min(kListWidth, width() / 2);
  ListingFrame->setGeometry(0, top, listWidth, ListingFrame->height());
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth), EdPanel->height());
  GhsDoorsDetailedCheck->move(
      std::max(0, LinkDoorsFrame->TopPanel->width() - GhsDoorsDetailedCheck->width() - 4), 2);
}

bool TFrameKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == LockLabel) {
      LockLabelClick();
      return true;
    }
    if (watched == CabLabel) {
      CabLabelClick();
      return true;
    }
  }
  if (watched == OwnersGrid->viewport() && event->type() == QEvent::MouseMove) {
    const int row = OwnersGrid->rowAt(static_cast<QMouseEvent*>(event)->pos().y()) + 1;
    if (row != HoverRow) {
      HoverRow = row;
      const bool data = row >= 1 && row < GridRowCount(OwnersGrid) && GridColCount(OwnersGrid) >= 6;
      OwnersGrid->setToolTip(data ? ToQString(Trim(GridCell(OwnersGrid, 5, row))) : QString());
    }
  }
  return TFrameMother::eventFilter(watched, event);
}

// =======================================================================================
// Registration

void RegisterKeysView() {
  RegisterViewFactory(pgKeys, [](QWidget* page) {
    auto* view = new TFrameKeys(page);
    view->PlaceIn(page);
    RegisterView(pgKeys, &view->KeysGlue());
    RegisterPageCommands(pgKeys, &view->KeysGlue());
  });
}

void AddKeysUserValuesHook() {
  // The hook is shared with the other views that keep a user's list order: this one is
  // added to whatever was installed before.
  const TMenuCommand before = MenuCommandOf(kHookUserValues);
  InstallMenuCommand(kHookUserValues, [before] {
    if (before) before();
    IView* page = ViewOf(pgKeys);
    if (auto* view = page ? dynamic_cast<TFrameKeys*>(page->RecordFlow()) : nullptr)
      view->SetListNameMode(LoginState().UserValues.keyNameMode, false, true);
  });
}
