#include "data/UserRights.h"

#include "basic/ValueString.h"
#include "data/UnitTR100.h"

TSession& Session() {
  static TSession session;
  return session;
}

void ResetSession() { Session() = TSession{}; }

TRightLevels DecodeUserRights(const std::string& rightsText) {
  TRightLevels levels{};
  std::string payload = rightsText;
  if (!DecodeNumberedStr(0, payload, false)) return levels;
  for (size_t i = 0; i < payload.size() && i < levels.size(); ++i) {
    unsigned char code = static_cast<unsigned char>(payload[i]);
    if (code <= rlOwnCabinets) levels[i] = code;
  }
  return levels;
}

std::string EncodeUserRights(int32_t userId, const TRightLevels& levels) {
  std::string payload;
  for (uint8_t level : levels) payload += static_cast<char>(level);
  return EncodeNumberedStr(userId, payload, false);
}

std::string RightLabel(int right) {
  static const char* const kLabels[kRightCount] = {
      "Personen",
      "Schl\xFCssel",
      "T\xFCren",
      "Geb\xE4ude / Schlie\xDF" "anlagen",
      "Benutzer + Benutzerrechte",
      "Schl\xFCssel ausgeben",
      "Schl\xFCssel zur\xFC" "cknehmen",
      "Verlust / Gefunden",
      "Defekt / Nachlieferungen",
      "Einstellungen \xE4ndern",
      "Ausdrucke konfigurieren",
      "Listen drucken/exportieren",
      "",
  };
  if (right < 0 || right >= kRightCount) return "";
  return kLabels[right];
}

int RightDenialText(int right) {
  switch (right) {
    case rtIssue:
    case rtReturn:
    case rtLossFind:
    case rtDefectDelivery:
      return 65;
    case rtPrintLists:
      return 66;
    case rtSilent:
      return 0;
    default:
      return 42;
  }
}
