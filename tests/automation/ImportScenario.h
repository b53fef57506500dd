#pragma once
// The end-to-end driver's visit of the table import (TessaroAutomated.cpp): the dialog opened
// from the menu, a table file chosen, the content class persons and two columns mapped, the
// department joined with the room of the third column ("Tabellenzellen verbinden ..."),
// checked (the taken cells turn green) and imported. Runs only when TESSARO_AUTOMATION_IMPORT
// names the table file to load; each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/Unit1.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/FieldCatalogueUnit.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/ImportTableModel.h"
#include "import/widgets/ImportUnit.h"

// False when the scenario does not run.
inline bool RunImportScenario(TTessaroForm& form,
                              const std::function<void(QWidget&, const std::string&)>& shot,
                              const std::function<void(const std::string&)>& say) {
  const char* file = std::getenv("TESSARO_AUTOMATION_IMPORT");
  if (!file) return false;
  const std::string table = file;
  (void)form;
  QueueDialogDriver([&shot, &say, table](QDialog& dialog) {
    auto* importForm = dynamic_cast<TImportForm*>(&dialog);
    if (!importForm) {
      say("import refused: no dialog");
      return;
    }
    TImportForm& f = *importForm;
    f.TableContentCombo->setCurrentIndex(f.TableContentCombo->findData(5));
    f.TableContentComboChange();
    // Name and department, in the table's order.
    for (int fieldId : {166, 169}) {
      const int index = FieldIndexById(fieldId);
      for (int row = 0; row < f.StockBox->count(); ++row)
        if (f.StockBox->item(row)->data(Qt::UserRole).toInt() == index) {
          f.StockBox->setCurrentRow(row);
          f.StockBox->item(row)->setSelected(true);
          f.AddBtn->click();
        }
    }
    say(f.GoodBox->count() == 2 ? "import mapped" : "import mapping refused");
    QueueDialogDriver([table](QDialog& chooser) {
      if (auto* files = qobject_cast<QFileDialog*>(&chooser)) files->selectFile(ToQString(table));
      chooser.accept();
    });
    f.OpenBtn->click();
    say(f.TableLoaded() ? "import loaded" : "import load refused");
    shot(f, "import-loaded");
    // The room (third column, unmapped) joins the department: "Einkauf [B 3]".
    QueueDialogDriver([&shot](QDialog& joining) {
      if (auto* concat = dynamic_cast<TConcatCellsForm*>(&joining)) {
        concat->ColumnCombo->setCurrentIndex(1);
        concat->BracketStyle->setChecked(true);
        shot(joining, "import-join");
        concat->OkBtn->click();
      } else {
        joining.reject();
      }
    });
    if (f.ConcatCells1->isEnabled()) f.ConcatCells1->trigger();
    const bool joined = f.Table().Cell(1, f.Table().FixedRows()).find(" [") != std::string::npos;
    say(joined ? "import joined" : "import join refused");
    // The check tells what the import would change.
    QueueDialogDriver(ClickButtonDriver(QStringLiteral("OK")));
    f.CheckBtn->click();
    const QModelIndex first = f.Model()->index(f.Table().FixedRows(), 0);
    const bool green = f.Model()->data(first, TImportTableModel::MarkRole).toInt() == 1;
    say(f.ImportBtn->isEnabled() && green ? "import checked" : "import check refused");
    shot(f, "import-checked");
    f.ImportBtn->click();
    say(f.result() == QDialog::Accepted ? "import done" : "import refused");
  });
  if (const TMenuCommand& run = MenuCommandOf(kMenuImportNew1))
    run();
  else
    say("import refused: no command");
  return true;
}
