#pragma once
// The locking-system choice of a building or a door: "-", the entry of a system of the
// building's own (object 1001, with the caption the view gives: "eigene Anlage" for the
// building, "am Gebäude" for the door), then the named systems with their codes.

#include <string>

class QComboBox;

// Fills the combo, keeping the selected code when it is still offered.
void FillOwnSystemCombo(QComboBox* combo, const std::string& ownCaption);
