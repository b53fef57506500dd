#pragma once
// The end-to-end driver's visit of the settings and the exports (TessaroAutomated.cpp):
// every page of the settings dialog pictured, the client data and the first locking
// system's name changed through their dialogs, the web links switched off; the doors, keys
// and persons exported; the page area saved as a picture and mailed; the database
// exported without persons and mailed. Runs only when TESSARO_AUTOMATION_EXPORTS names the
// folder the files go to; each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/Unit1.h"
#include "basic/widgets/DialogRunner.h"
#include "views/DBExportUnit.h"
#include "views/SettingsUnit.h"

// A driver for the next file dialog: the file is chosen as typed.
inline TDialogDriver ChooseFileDriver(const std::string& file, bool* seen = nullptr) {
  return [file, seen](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    if (!chooser) return;
    if (seen) *seen = true;
    chooser->selectFile(QString::fromStdString(file));
    static_cast<QDialog*>(chooser)->accept();
  };
}

// False when the scenario does not run.
inline bool RunSettingsScenario(TTessaroForm& form,
                                const std::function<void(QWidget&, const std::string&)>& shot,
                                const std::function<void(const std::string&)>& say) {
  const char* folderText = std::getenv("TESSARO_AUTOMATION_EXPORTS");
  if (!folderText) return false;
  const std::string folder = std::string(folderText) + "/";

  // The settings: each page, then the two small dialogs from the first page.
  bool settingsShown = false, mandantSaved = false, namesSaved = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* settings = dynamic_cast<TSettingsForm*>(&dialog);
    if (!settings) return;
    settingsShown = dialog.isVisible();
    for (int row = 0; row < settings->ListBox->count(); ++row) {
      settings->ListBox->setCurrentRow(row);
      shot(dialog, "settings" + std::to_string(row));
    }
    settings->ListBox->setCurrentRow(0);
    QueueDialogDriver([&](QDialog& inner) {
      auto* mandant = dynamic_cast<TMandantForm*>(&inner);
      if (!mandant) return;
      mandant->TitleEd->setText(QStringLiteral("Werk Nord"));
      mandant->BranchEd->setText(QStringLiteral("7"));
      mandant->SeqNrEd->setText(QStringLiteral("100"));
      shot(inner, "mandant");
      mandant->SaveBtn->click();
      mandantSaved = inner.result() == QDialog::Accepted;
    });
    settings->MandantBtn->click();
    QueueDialogDriver([&](QDialog& inner) {
      auto* names = dynamic_cast<TKeySystemsForm*>(&inner);
      if (!names) return;
      names->Edits[0]->setText(QStringLiteral("Haupt"));
      names->EditChange();
      shot(inner, "keysystems");
      names->SaveBtn->click();
      namesSaved = inner.result() == QDialog::Accepted;
    });
    settings->KeySystemsBtn->click();
    settings->ListBox->setCurrentRow(3);
    if (settings->WebLinksCheck->isChecked()) settings->WebLinksCheck->click();
    settings->CloseBtn->click();
  });
  form.RunMenuCommand("Settings1");
  say(settingsShown ? "settings shown" : "settings refused");
  say(mandantSaved ? "client data saved" : "client data refused");
  say(namesSaved ? "names saved" : "names refused");

  // The three list exports.
  for (const char* command : {"ExportDoors1", "ExportKeys1", "ExportPersons1"}) {
    bool seen = false;
    QueueDialogDriver(ChooseFileDriver(folder + command + ".csv", &seen));
    form.RunMenuCommand(command);
    say(std::string(command) + (seen ? " written" : " refused"));
  }

  // The page area as a picture, mailed.
  bool screenshotAsked = false;
  QueueDialogDriver(ChooseFileDriver(folder + "screen.jpg"));
  QueueDialogDriver([&](QDialog& question) {
    screenshotAsked = true;
    question.done(6);  // Yes
  });
  form.RunMenuCommand("Screenshot1");
  say(screenshotAsked ? "screenshot mailed" : "screenshot refused");

  // The database without persons, mailed.
  bool exported = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* exporter = dynamic_cast<TDBExportForm*>(&dialog);
    if (!exporter) return;
    exporter->WOPersonsRadio->setChecked(true);
    exporter->SendMailCheck->setChecked(true);
    shot(dialog, "dbexport");
    QueueDialogDriver(ChooseFileDriver(folder + "Export.ada"));
    exported = exporter->SaveBtnClick();
  });
  form.RunMenuCommand("DBExport1");
  say(exported ? "database exported" : "database export refused");
  return true;
}
