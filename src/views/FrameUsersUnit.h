#pragma once
// The users view: the page that lists and edits the users of the program (records of
// class 1) with their login name, output name, remark, password and rights.
//
// Passwords are stored in the form the login compares (trimmed, upper case), so whatever
// the login accepts is what was typed here. The password fields never show the stored
// value; left empty they keep it, and the tick "Passwort entfernen" empties it.
//
// Nobody can lock every user out of the users' administration: a save or a delete after
// which some user has a rights text but no user holds the right for users at level 2 is
// refused (counted on the fresh data inside the write), and nobody deletes his own record.
// The right for settings keeps its fall-back: without a holder the logged-in user gets it
// and is told so.

#include <cstdint>
#include <string>

#include "app/FrameMotherUnit.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The message table "FrameUsers" (entry 0 the table's name).
std::string FrameUsersText(int number);
std::string FrameUsersTextFmt(int number, const std::string& argument);

// Our own texts in the table: the lines of the question whether to copy a saved user into
// the other clients (101 to 105), the refusal to delete one's own record.
inline constexpr int kUsersCopyQuestion = 101;
inline constexpr int kUsersOwnRecord = 106;
// The question whether a saved user is copied into every other client's store.
std::string UsersCopyQuestion();

// Another client than the one of `db` in the register (entry 0 is its header) whose store
// exists: a user saved here may be copied there.
bool OtherClientsRegistered(const TMiniDB& db);

class TFrameUsers : public TFrameMother {
 public:
  explicit TFrameUsers(QWidget* owner);

  // 0 view, 1 editing, 2 new.
  int EditState = 0;

  QLineEdit* UserNameEd;
  QLabel* RealNameLabel;
  QLineEdit* RealNameEd;
  QPlainTextEdit* UserRemMemo;
  QLineEdit* UserPW1Ed;
  QLineEdit* UserPW2Ed;
  QCheckBox* RemovePasswordCheck;
  QPushButton* AuthorisationsBtn;

  // The rights text edited in the dialog and not saved yet.
  bool RightsEdited() const { return rightsEdited_; }
  const std::string& EditedRights() const { return editedRights_; }

  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool StartEdit() override;
  bool CanDelete() override;
  bool CanDuplicate() override { return false; }
  std::string DeleteQuestion(const std::string& name) override;
  void SetTransferPicking(bool on) override;

  void NewBtnClick();
  // The save; true when the user was saved.
  bool SaveBtnClick();
  void AuthorisationsBtnClick();

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);

  bool rightsEdited_ = false;
  std::string editedRights_;
  bool picking_ = false;
};

// Registers the view's factory for the users page.
void RegisterUsersView();

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* FrameUsersTexts();
