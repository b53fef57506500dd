#include "views/ContactUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DesktopLinksUnit.h"
#include "app/PictureUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"

TContactForm::TContactForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ContactForm");
  setWindowTitle(ToQString("Info und Kontakt"));
  CreateGradientImage(this, 100, 0xBAD9E2, 0xE8F8FC);
  auto* outer = new QVBoxLayout(this);
  auto label = [&](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    outer->addWidget(l);
    return l;
  };
  DateLabel = label("DateLabel");
  ContactLabel = label("ContactLabel");
  AddressLabel = label("AddressLabel");
  PersonsLabel = label("PersonsLabel");
  wwwLabel = new QPushButton(this);
  wwwLabel->setObjectName("wwwLabel");
  wwwLabel->setFlat(true);
  MailLabel = new QPushButton(this);
  MailLabel->setObjectName("MailLabel");
  MailLabel->setFlat(true);
  MailLabel->setContextMenuPolicy(Qt::CustomContextMenu);
  outer->addWidget(wwwLabel);
  outer->addWidget(MailLabel);
  MailPopup = new QMenu(this);
  copyMail1 = MailPopup->addAction(ToQString("E-Mail-Adresse kopieren"));
  copyAddress = MailPopup->addAction(ToQString("Adresse kopieren"));
  auto* foot = new QHBoxLayout;
  foot->addStretch();
  OkBtn = new QPushButton(ToQString("OK"), this);
  OkBtn->setObjectName("OkBtn");
  foot->addWidget(OkBtn);
  outer->addLayout(foot);
  connect(wwwLabel, &QPushButton::clicked, this, [this] { wwwLabelClick(); });
  connect(MailLabel, &QPushButton::clicked, this, [this] { MailLabelClick(); });
  connect(MailLabel, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { MailPopup->popup(MailLabel->mapToGlobal(at)); });
  connect(copyMail1, &QAction::triggered, this, [this] { copyMail1Click(); });
  connect(copyAddress, &QAction::triggered, this, [this] { copyAddressClick(); });
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  TranslateForm(this);
  // Filled after the translation: the texts come translated already.
  DateLabel->setText(ToQString(MLTranslate("Programm Stand") + ": " + kProgramDate));
  ContactLabel->setText(ToQString(MLTranslate("Tessaro Schl\xFCsselverwaltung")));
  AddressLabel->setText(ToQString(MLTranslate("Musterstra\xDF"
                                              "e 1") +
                                  "\n" + MLTranslate("00000 Musterstadt")));
  PersonsLabel->setText(ToQString(PersonTerm() + ":"));
  wwwLabel->setText(ToQString(CoreText(67)));
  MailLabel->setText(ToQString(CoreText(68)));
}

void TContactForm::wwwLabelClick() { OpenInternetLinkFrom(wwwLabel, CoreText(67)); }

void TContactForm::MailLabelClick() { OpenInternetLinkFrom(MailLabel, "mailto:" + CoreText(68)); }

void TContactForm::copyMail1Click() { QApplication::clipboard()->setText(ToQString(CoreText(68))); }

void TContactForm::copyAddressClick() { QApplication::clipboard()->setText(AddressLabel->text()); }

void ShowContactInfo() {
  TContactForm form;
  ExecModal(form);
}
