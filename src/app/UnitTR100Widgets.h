#pragma once
// The widget half of the core helpers: a combo box of item classes and the ticked entries of
// a check list. The rest of the core helpers is Qt-free (data/UnitTR100.h).

#include <cstdint>
#include <string>

class QComboBox;
class QListWidget;

// The object of the "all" entry of a class combo.
constexpr std::int32_t kAllClassesId = 0x7FFFFFFF;

// Clears the combo, then adds `firstText` with the object kAllClassesId when it is not empty,
// the caption of class `secondClass` with that class as object when it is above 0, and one
// entry per byte of `classes` (each byte a class number) with its caption and the class.
void FillClassCombo(QComboBox* combo, const std::string& firstText, int secondClass, bool plural,
                    const std::string& classes);

// The texts of the ticked entries, TAB-joined, and their number.
std::string CheckedItemsText(const QListWidget* list);
int CountChecked(const QListWidget* list);
