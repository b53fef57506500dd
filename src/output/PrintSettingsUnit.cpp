#include "output/PrintSettingsUnit.h"

TPrintSettings& PrintSettings() {
  static TPrintSettings settings;
  return settings;
}

void ResetPrintSettings() { PrintSettings() = TPrintSettings(); }
