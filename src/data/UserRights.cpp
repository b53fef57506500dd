#include "data/UserRights.h"

#include <algorithm>
#include <vector>

#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

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
  for (int right = 0; right < kStoredRightCount; ++right)
    payload += static_cast<char>(levels[static_cast<size_t>(right)]);
  return EncodeNumberedStr(userId, payload, false);
}

// The labels of the rights dialog under number right + 1; entry 0 is the unit's name.
const TMLStringList* RightTexts() {
  static const TMLStringList* table = [] {
    static const char* const kLabels[] = {
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
    };
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("UserRights", 0);
    int number = 1;
    for (const char* label : kLabels) t->Add255Obj(label, number++);
    return t;
  }();
  return table;
}

std::string RightLabel(int right) {
  if (right < 0 || right >= rtSilent) return "";
  return GetMLText(RightTexts(), right + 1);
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

// ---------------------------------------------------------------------------------------
// Login and the checks

bool LoginUser(TMiniDB& db, int32_t userId) {
  LogoutUser();
  SessionReads(db);
  if (db.GetClass(userId) != icUser || !db.IsValid(userId)) return false;
  TSession& s = Session();
  s.RightLevels = DecodeUserRights(db.ReadLineField(userId, fkRights));
  s.CurrentUserId = userId;
  s.CurrentUserName = db.ReadName(userId);
  s.LoggedIn = true;
  return true;
}

void LogoutUser() {
  TSession& s = Session();
  s.RightLevels.fill(rlNo);
  s.LoggedIn = false;
  s.CurrentUserId = 0;
  s.CurrentUserName.clear();
}

namespace {

// The user's valid key cabinets.
std::vector<int32_t> UserCabinets() {
  std::vector<int32_t> cabinets;
  const TSession& s = Session();
  const TMiniDB* db = SessionDB();
  if (!db || !s.LoggedIn) return cabinets;
  TItemList links;
  db->ReadLinks(s.CurrentUserId, icCabinet, links);
  for (int32_t i = 0; i < links.Count(); ++i) {
    int32_t id = links.Get(i);
    if (db->GetClass(id) == icCabinet && db->IsValid(id)) cabinets.push_back(id);
  }
  return cabinets;
}

void ShowRefusal(int right) {
  int text = RightDenialText(right);
  if (text == 0) return;
  std::string message = CoreText(text);
  if (right == rtUsers) {
    std::string users = UsersWithRightText(rtUsers);
    if (!users.empty()) message += "\r\r" + CoreText(64) + "\r" + users;
  }
  UI().ShowMessage(TMsgKind::Error, message);
}

}  // namespace

bool UserHasAnyCabinet(const TItemList& items) {
  std::vector<int32_t> cabinets = UserCabinets();
  for (int32_t i = 0; i < items.Count(); ++i)
    if (std::find(cabinets.begin(), cabinets.end(), items.Get(i)) != cabinets.end()) return true;
  return false;
}

bool RightDeniedFor(int right, int32_t item) {
  const TSession& s = Session();
  bool known = right >= 0 && right < kRightCount;
  // Before a login every level counts as 1, whatever the table holds.
  uint8_t level = known && s.LoggedIn ? s.RightLevels[static_cast<size_t>(right)] : rlNo;
  bool refused = MandantState().ReadOnlyMode || level < rlYes || level > rlOwnCabinets;
  if (!refused && item != 0 && level == rlOwnCabinets) {
    TItemList cabinets;
    if (const TMiniDB* db = SessionDB()) db->ReadLinks(item, icCabinet, cabinets);
    refused = !UserHasAnyCabinet(cabinets);
  }
  if (refused) ShowRefusal(right);
  return refused;
}

bool RightDenied(int right) { return RightDeniedFor(right, 0); }

bool RightDeniedForAny(int right, const TItemList* items) {
  if (!items || items->Count() == 0) return RightDenied(right);
  for (int32_t i = 0; i < items->Count(); ++i)
    if (RightDeniedFor(right, items->Get(i))) return true;
  return false;
}

std::string UsersWithRightText(int right) {
  std::string text;
  const TMiniDB* db = SessionDB();
  if (!db || right < 0 || right >= kRightCount) return text;
  TItemList users;
  db->ListClassValid(icUser, users);
  for (int32_t i = 0; i < users.Count(); ++i) {
    int32_t user = users.Get(i);
    if (DecodeUserRights(db->ReadLineField(user, fkRights))[static_cast<size_t>(right)] != rlYes)
      continue;
    if (!text.empty()) text += '\r';
    text += db->ReadName(user);
  }
  return text;
}
