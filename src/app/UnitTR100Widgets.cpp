#include "app/UnitTR100Widgets.h"

#include <QComboBox>
#include <QListWidget>

#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"

void FillClassCombo(QComboBox* combo, const std::string& firstText, int secondClass, bool plural,
                    const std::string& classes) {
  if (!combo) return;
  combo->clear();
  if (!firstText.empty()) AddComboItem(combo, firstText, kAllClassesId);
  if (secondClass > 0) AddComboItem(combo, ClassCaption(secondClass, plural), secondClass);
  for (unsigned char cls : classes) AddComboItem(combo, ClassCaption(cls, plural), cls);
}

std::string CheckedItemsText(const QListWidget* list) {
  std::string text;
  if (!list) return text;
  bool first = true;
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* item = list->item(i);
    if (item->checkState() != Qt::Checked) continue;
    if (!first) text += '\t';
    text += FromQString(item->text());
    first = false;
  }
  return text;
}

int CountChecked(const QListWidget* list) {
  int count = 0;
  if (!list) return count;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->checkState() == Qt::Checked) ++count;
  return count;
}
