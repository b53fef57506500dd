#pragma once
// The info dialog: the program's date, the contact texts, the web and mail address (opened
// through the link opener of the window glue) and copies of mail and postal address.

#include <QDialog>

class QLabel;
class QMenu;
class QPushButton;

// The program date the dialog shows.
inline constexpr char kProgramDate[] = "04/2008";

class TContactForm : public QDialog {
 public:
  explicit TContactForm(QWidget* parent = nullptr);

  QLabel* DateLabel;
  QLabel* ContactLabel;
  QLabel* PersonsLabel;
  QLabel* AddressLabel;
  QPushButton* wwwLabel;
  QPushButton* MailLabel;
  QMenu* MailPopup;
  QAction* copyMail1;
  QAction* copyAddress;
  QPushButton* OkBtn;

  void wwwLabelClick();
  void MailLabelClick();
  void copyMail1Click();
  void copyAddressClick();
};

// Fills the dialog and shows it modally.
void ShowContactInfo();
