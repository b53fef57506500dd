#include "views/AuthorisationsFormUnit.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

const TMLStringList* AuthorisationsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("AuthorisationsForm", 0);
    t->Add255Obj("Nein;f\xFCr alle Schl\xFCsselschr\xE4nke;nur zugewiesene Schr\xE4nke", 1);
    t->Add255Obj("Nein;Ja", 2);
    t->Add255Obj("Benutzer-Berechtigungen f\xFCr %1", 3);
    return t;
  }();
  return table;
}

namespace {

constexpr int kLeaderWidth = 200;

// The rights whose combo offers the cabinet choices.
bool CabinetKind(int right) {
  return right == rtKeys || right == rtIssue || right == rtReturn || right == rtLossFind ||
         right == rtDefectDelivery;
}

QColor ComboColour(int index) {
  if (index < 0) return ColorFromBgr(0xF0F0F0);
  return ColorFromBgr(index == 0 ? 0xF0F0FF : 0xF0FFF0);
}

}  // namespace

std::string AuthorisationsText(int number) { return GetMLText(AuthorisationsTexts(), number); }

TAuthorisationsForm::TAuthorisationsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("AuthorisationsForm");
  setModal(true);
  auto* outer = new QVBoxLayout(this);
  struct TGroup {
    const char* caption;
    int first, last;  // rights
  };
  const TGroup groups[] = {{"Stammdaten \xE4ndern", 0, 4},
                           {"\xDC" "bergabe", 5, 8},
                           {"Sonstiges", 9, 11}};
  static constexpr const char* kComboNames[12] = {
      "PersonsCombo", "KeysCombo",     "DoorsCombo",        "SystemsCombo",
      "UsersCombo",   "IssueCombo",    "ReturnCombo",       "LostCombo",
      "OrderCombo",   "SettingsCombo", "TextSettingsCombo", "PrintCombo"};
  for (const TGroup& g : groups) {
    auto* box = new QGroupBox(ToQString(g.caption), this);
    auto* grid = new QGridLayout(box);
    for (int right = g.first; right <= g.last; ++right) {
      auto* label = new QLabel(ToQString(RightLabel(right)), box);
      auto* combo = new QComboBox(box);
      combo->setObjectName(QString::fromLatin1(kComboNames[right]));
      combo->setMinimumWidth(220);
      const int row = right - g.first;
      grid->addWidget(label, row, 0);
      grid->addWidget(combo, row, 1);
      Labels[static_cast<size_t>(right)] = label;
      Combos[static_cast<size_t>(right)] = combo;
      connect(combo, &QComboBox::currentIndexChanged, this, [this, right] { Colour(right); });
    }
    outer->addWidget(box);
  }
  PersonsCombo = Combos[0];
  KeysCombo = Combos[1];
  DoorsCombo = Combos[2];
  SystemsCombo = Combos[3];
  UsersCombo = Combos[4];
  IssueCombo = Combos[5];
  ReturnCombo = Combos[6];
  LostCombo = Combos[7];
  OrderCombo = Combos[8];
  SettingsCombo = Combos[9];
  TextSettingsCombo = Combos[10];
  PrintCombo = Combos[11];
  auto* buttons = new QHBoxLayout;
  AllYesBtn = new QPushButton(ToQString("Alle \"Ja\""), this);
  AllNoBtn = new QPushButton(ToQString("Alle \"Nein\""), this);
  OkBtn = new QPushButton(ToQString("OK"), this);
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  AllYesBtn->setObjectName("AllYesBtn");
  AllNoBtn->setObjectName("AllNoBtn");
  OkBtn->setObjectName("OkBtn");
  EscBtn->setObjectName("EscBtn");
  buttons->addWidget(AllYesBtn);
  buttons->addWidget(AllNoBtn);
  buttons->addStretch(1);
  buttons->addWidget(OkBtn);
  buttons->addWidget(EscBtn);
  outer->addLayout(buttons);
  OkBtn->setAutoDefault(false);
  EscBtn->setDefault(true);
  connect(AllYesBtn, &QPushButton::clicked, this, [this] { SetAll(rlYes); });
  connect(AllNoBtn, &QPushButton::clicked, this, [this] { SetAll(rlNo); });
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TAuthorisationsForm::Load(int32_t /*userId*/, const std::string& name,
                               const std::string& rights, bool anyUserHasRights) {
  setWindowTitle(ToQString(GetMLTextFmt(AuthorisationsTexts(), 3, name)));
  for (size_t right = 0; right < Labels.size(); ++right) {
    QLabel* label = Labels[right];
    const QFontMetrics metrics(label->font());
    label->setText(ToQString(DotLeader(FromQString(label->text()), kLeaderWidth,
                                       [&metrics](const std::string& text) {
                                         return metrics.horizontalAdvance(ToQString(text));
                                       })));
  }
  TRightLevels levels = DecodeUserRights(rights);
  if (rights.empty() && !anyUserHasRights) levels.fill(rlYes);
  for (int right = 0; right < static_cast<int>(Combos.size()); ++right)
    SetLevel(right, levels[static_cast<size_t>(right)]);
  EscBtn->setFocus();
}

void TAuthorisationsForm::SetLevel(int right, int level) {
  QComboBox* combo = Combos[static_cast<size_t>(right)];
  const QSignalBlocker block(combo);
  combo->clear();
  const bool cabinets = CabinetKind(right) || level == rlOwnCabinets;
  std::string choices = AuthorisationsText(cabinets ? 1 : 2);
  while (!choices.empty()) combo->addItem(ToQString(FetchValue(choices)));
  combo->setCurrentIndex(level >= rlNo && level <= combo->count() ? level - 1 : -1);
  Colour(right);
}

int TAuthorisationsForm::Level(int right) const {
  return Combos[static_cast<size_t>(right)]->currentIndex() + 1;
}

void TAuthorisationsForm::SetAll(int level) {
  for (int right = 0; right < static_cast<int>(Combos.size()); ++right) SetLevel(right, level);
}

void TAuthorisationsForm::Colour(int right) {
  QComboBox* combo = Combos[static_cast<size_t>(right)];
  QPalette palette = combo->palette();
  const QColor colour = ComboColour(combo->currentIndex());
  palette.setColor(QPalette::Button, colour);
  palette.setColor(QPalette::Base, colour);
  combo->setPalette(palette);
  combo->setAutoFillBackground(true);
}

std::string TAuthorisationsForm::Rights(int32_t userId) const {
  TRightLevels levels{};
  for (int right = 0; right < static_cast<int>(Combos.size()); ++right)
    levels[static_cast<size_t>(right)] = static_cast<uint8_t>(Level(right));
  return EncodeUserRights(userId, levels);
}

bool ExecuteAuthorisations(int32_t userId, std::string& rights) {
  TMiniDB* db = GlueDB();
  bool anyUserHasRights = false;
  std::string name;
  if (db) {
    TItemList users;
    db->ListClassValid(icUser, users);
    for (int32_t i = 0; i < users.Count() && !anyUserHasRights; ++i)
      anyUserHasRights = !db->ReadLineField(users.Get(i), fkRights).empty();
    name = db->GetName(userId);
  }
  TAuthorisationsForm form(WinGlue().MainWindow.data());
  form.Load(userId, name, rights, anyUserHasRights);
  if (ExecModal(form) != QDialog::Accepted) return false;
  rights = form.Rights(userId);
  return true;
}
