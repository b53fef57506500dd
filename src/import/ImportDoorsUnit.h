#pragma once
// The door import with its fixed column layout: door, building, locking system, position,
// cylinder, cylinder length, remark, floor, room.
//
// Existing doors (same normalised name in the row's building) are skipped, as the question
// before the run says; a door that cannot be made takes the whole run back.

#include <functional>
#include <string>
#include <vector>

#include "import/ImportKeysUnit.h"

class TMiniDB;
class TMLStringList;

const TMLStringList* ImportDoorsTexts();
std::string ImportDoorsText(int number);
std::string ImportDoorsTextFmt(int number, const std::string& argument);

TFixedImportCheck PlanDoorsCheck(const TMiniDB& db, const std::vector<TFixedImportRow>& rows);
bool CheckDoorsImport(const TMiniDB& db, const std::vector<TFixedImportRow>& rows);

// Checks, asks, then one bulk run over all records: a door is made for every row whose
// name is new in its building, with its fields and the link to the building on both
// sides. A door that cannot be made names its line and nothing is saved. After a saved
// run `afterSave` runs (the cylinder extraction from the doors' entries).
TFixedImportOutcome ImportDoorsTable(TMiniDB& db, const std::vector<TFixedImportRow>& rows,
                                     const TBulkProgress& progress = {},
                                     const std::function<void()>& afterSave = {});
