#pragma once
// The rights dialog of the users view: twelve areas, each a combo box with the user's level
// (none, "Nein", "Ja" / "für alle Schlüsselschränke", "nur zugewiesene Schränke"). It edits
// the stored rights text of one user ("rg", EncodeUserRights) and gives it back; the users
// view writes it with the user's save.

#include <array>
#include <cstdint>
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The message table "AuthorisationsForm" (entry 0 the table's name).
std::string AuthorisationsText(int number);

// The label of a right's combo with its dot leader: the caption (a leader from "  ." on
// cut away) followed by "  ." and dots until it is `width` pixels wide as `advance`
// measures; a caption that is wider already gets no leader.
template <class TAdvance>
std::string DotLeader(std::string caption, int width, TAdvance advance) {
  const size_t leader = caption.find("  .");
  if (leader != std::string::npos) caption.resize(leader);
  const std::string bare = caption;
  caption += "  .";
  if (advance(caption) > width) return bare;
  while (advance(caption) < width) caption += '.';
  return caption;
}

class TAuthorisationsForm : public QDialog {
 public:
  explicit TAuthorisationsForm(QWidget* parent = nullptr);

  // Combo of right `right` (0..11), Tag right + 1; the same combos by name below.
  std::array<QComboBox*, 12> Combos{};
  QComboBox *PersonsCombo, *KeysCombo, *DoorsCombo, *SystemsCombo, *UsersCombo, *IssueCombo,
      *ReturnCombo, *LostCombo, *OrderCombo, *SettingsCombo, *TextSettingsCombo, *PrintCombo;
  std::array<QLabel*, 12> Labels{};
  QPushButton* OkBtn;
  QPushButton* EscBtn;
  QPushButton* AllYesBtn;
  QPushButton* AllNoBtn;

  // Fills the combos from the stored text for user `userId`: the levels of any user's text
  // are read (the number is not checked); an empty text while no user has one anywhere
  // shows every right at level 2.
  void Load(int32_t userId, const std::string& name, const std::string& rights,
            bool anyUserHasRights);
  // The stored text of the chosen levels for user `userId`.
  std::string Rights(int32_t userId) const;
  // Every combo at the level (2 "Ja", 1 "Nein").
  void SetAll(int level);
  // The level shown for right `right`: selected index + 1, 0 without a selection.
  int Level(int right) const;
  void SetLevel(int right, int level);

 private:
  void Colour(int right);
};

// Shows the dialog for the user; true and the new text in `rights` when confirmed.
bool ExecuteAuthorisations(int32_t userId, std::string& rights);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* AuthorisationsTexts();
