#include "views/SystemComboUnit.h"

#include "app/ListFillUnit.h"
#include "basic/SLUnit.h"
#include "data/UnitTR100.h"

void FillOwnSystemCombo(QComboBox* combo, const std::string& ownCaption) {
  TQStringList list;
  list.AddObject("-", ksNone);
  list.AddObject(ownCaption, ksBuildingBase);
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code) {
    const std::string name = KeySystemTableName(code);
    if (!name.empty()) list.AddObject(name, code);
  }
  RefillComboKeepId(combo, list);
}
