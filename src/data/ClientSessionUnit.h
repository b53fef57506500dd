#pragma once
// The open client's state as one object. A client session is made when a client's data is
// opened and dropped whole at logout or when another client's data is opened, so nothing
// of one client can remain for the next: no name, no right, no cached relation, no history
// folder, no signature journal, no view option.
//
// The session owns the client's record store and its change log, the rights of the
// logged-in user, the history, the signature journal, the locksmith store, the vocabulary
// of the client (locking-system names and filter, the persons and department terms, the
// holder kind names), the user's view options, the backup settings, the person photo
// store, the caches of the relation queries and the pending key transfer.
// The program reaches each part through the accessor it always used (Session(),
// History(), SignatureDB(), LocksmithStore(), Vocabulary(), ViewOptions(),
// BackupSettings(), RelationCaches(), TransferRec(), SessionDB()); those
// are declared beside their types and forward to the session in force.
//
// What stays program-wide (clock, user interaction, command line, language system, dialog
// runner, client choice and data folder, reservations, ...) is listed with the reason in
// docs/ARCHITECTURE.md.
//
// Use from one thread.

#include <memory>
#include <string>

#include "basic/DateClock.h"
#include "data/AccessProtection.h"
#include "data/BinDatabase.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/SigDBUnit.h"
#include "data/StockUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "data/ViewOptionsUnit.h"

class TMiniDB;

// The backup settings of the client's data folder (read when its data is opened; the
// backup unit of the program reads and writes them).
inline constexpr int biManual = 0;
inline constexpr int biDaily = 1;
inline constexpr int biWeekly = 2;
inline constexpr int biMonthly = 3;

struct TBackupSettings {
  // The backup folder with a trailing "/"; never empty once read (the program folder +
  // "Backup/" when no folder is set).
  std::string Path;
  int Interval = biDaily;    // biManual .. biMonthly
  bool Requester = true;     // ask before each automatic backup
  TPackedDate LastDate = 0;  // the last backup that recorded its date; 0 = none
};

class TClientSession {
 public:
  // `registry`: the reservations the session's files are guarded by; null = the
  // program's.
  explicit TClientSession(TAccessProtectionRegistry* registry = nullptr);
  // Closes what the session holds open: the photo store, the locksmith store, the
  // journal, the store (saving what it holds unsaved) and its change log; the history
  // writes what it keeps waiting.
  ~TClientSession();
  TClientSession(const TClientSession&) = delete;
  TClientSession& operator=(const TClientSession&) = delete;

  // The client's store: the session's own (Store) once a client's data is opened, or one
  // lent to it (tests, which keep their stores themselves); null when there is none.
  TMiniDB* DB() const { return Store ? Store.get() : lent_; }
  // Makes the session's own store (empty, not open yet) unless it has one.
  TMiniDB& MakeStore();
  // Lends a store (not owned) for the session's lifetime or until another is lent.
  void LendStore(TMiniDB* db) { lent_ = db; }
  TAccessProtectionRegistry* Registry() const { return registry_; }

  std::unique_ptr<TMiniDB> Store;
  std::unique_ptr<TTimebackLog> ChangeLog;  // the store's change log, null without
  TSession Rights;
  THistory History;
  TSigDB Signatures;
  TLocksmithStore Locksmith;
  TVocabulary Vocabulary;
  TViewOptions ViewOptions;
  TBackupSettings Backup;
  TBinDatabase PersonPhotos;  // closed with the session
  TRelationCaches RelationCaches;
  TTransferRecord Transfer;   // the pending key transfer

 private:
  TAccessProtectionRegistry* registry_;
  TMiniDB* lent_ = nullptr;
};

// The session in force (never null: before the first client's data is opened, and after
// a logout, an empty one).
TClientSession& ClientSession();
// Drops the session in force whole and puts an empty one in its place (a client's data is
// opened, logout, shutdown, tests). `registry` as for TClientSession.
void ResetClientSession(TAccessProtectionRegistry* registry = nullptr);
