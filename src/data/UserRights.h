#pragma once
// Users and their rights. A user is a record of class 1 whose field "rg" holds one level per
// right. At login the levels of the user are decoded into the session; every change,
// handover, print and export asks first. The checks answer true for "refused", have
// already told the user why (through UI()), and the caller simply stops.
//
// The rights session (right levels and the logged-in user) is part of the open client's
// session (ClientSessionUnit.h), reached through `Session()`; the store the rights read is
// that session's (`SessionDB()`). A test resets everything with `ResetSession()`.
// Read-only mode is a flag of the data folder and lives in `MandantState()`: while it is
// set every right is denied.

#include <array>
#include <cstdint>
#include <string>

class TMiniDB;
class TItemList;

// The rights, numbered as the rights text stores them.
enum TRight : int {
  rtPersons = 0,         // change persons
  rtKeys = 1,            // change keys
  rtDoors = 2,           // change doors
  rtBuildings = 3,       // buildings and locking systems
  rtUsers = 4,           // users and their rights
  rtIssue = 5,           // issue keys
  rtReturn = 6,          // take keys back
  rtLossFind = 7,        // loss and find
  rtDefectDelivery = 8,  // defects and deliveries
  rtSettings = 9,        // change settings
  rtPrintConfig = 10,    // configure printouts
  rtPrintLists = 11,     // print and export lists
  rtSilent = 12,         // no label; refused without a message
};
inline constexpr int kRightCount = 13;

// Levels: 0 and 1 deny, 2 allows, 3 allows only for items in one of the user's cabinets.
inline constexpr uint8_t rlNone = 0;
inline constexpr uint8_t rlNo = 1;
inline constexpr uint8_t rlYes = 2;
inline constexpr uint8_t rlOwnCabinets = 3;

using TRightLevels = std::array<uint8_t, kRightCount>;

// Who is logged in to the open client, with which levels.
struct TSession {
  TRightLevels RightLevels;    // every level 1 until a login
  bool LoggedIn = false;
  int32_t CurrentUserId = 0;
  std::string CurrentUserName;

  TSession() { RightLevels.fill(rlNo); }
};
// The rights of the client session in force.
TSession& Session();
// The open client's store (the client session's); null when no client's data is open.
TMiniDB* SessionDB();
// A session without a store of its own (a test's) reads `db` from now on; a session with
// its own store keeps it.
void SessionReads(TMiniDB& db);
// Back to the state before any client's data was opened: the whole client session is
// dropped (nothing is kept, not even the store).
void ResetSession();

// The 13 levels of a rights text: all 0, then, when the text decodes as a numbered string
// (any number), each of its first 13 characters with a code of 3 or less sets its level.
TRightLevels DecodeUserRights(const std::string& rightsText);
// The stored form of levels for a user (numbered string with the user's ID, not rotated):
// one byte per right of the rights dialog, rights 0 to 11. Right 12 has no setting and is
// not stored (it reads back as 0).
inline constexpr int kStoredRightCount = 12;
std::string EncodeUserRights(int32_t userId, const TRightLevels& levels);

// The label of a right in the rights dialog; empty for right 12 and outside 0..12.
std::string RightLabel(int right);
// The core text number of the refusal message of a right; 0 for right 12 (silent).
int RightDenialText(int right);

// Makes `userId` the logged-in user of `db`: decodes its "rg" into the session. False,
// and nobody logged in, when the ID is no valid user. A session without a store of its
// own (a test's) takes `db` as the store the rights read.
bool LoginUser(TMiniDB& db, int32_t userId);
// Nobody logged in; every level back to 1. The store stays known.
void LogoutUser();

// True = refused (message already shown). With an item and level 3 the item must lie in a
// key cabinet linked to the logged-in user.
bool RightDeniedFor(int right, int32_t item);
bool RightDenied(int right);
// RightDenied for an empty or missing list; else RightDeniedFor item by item up to the
// first refusal (one message at most).
bool RightDeniedForAny(int right, const TItemList* items);
// True when one of the IDs is a key cabinet linked to the logged-in user.
bool UserHasAnyCabinet(const TItemList& items);
// Names of the valid users whose level of the right is exactly 2, joined by CR.
std::string UsersWithRightText(int right);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* RightTexts();
