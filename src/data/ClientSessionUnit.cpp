#include "data/ClientSessionUnit.h"

#include <cassert>

#include "data/MiniDBUnit.h"

TClientSession::TClientSession(TAccessProtectionRegistry* registry)
    : History(registry),
      Signatures("", registry),
      PersonPhotos(registry ? &registry->Default() : nullptr),
      registry_(registry) {}

TClientSession::~TClientSession() {
  PersonPhotos.Close();
  Locksmith.Close();
  Signatures.CloseJournal();
  if (Store) {
    Store->TimebackLog = nullptr;
    Store->Close();
  }
  Store.reset();
  ChangeLog.reset();
  History.Flush();
}

TMiniDB& TClientSession::MakeStore() {
  if (!Store) Store = std::make_unique<TMiniDB>();
  return *Store;
}

namespace {

TClientSession*& Installed() {
  static TClientSession* session = nullptr;
  return session;
}

}  // namespace

TClientSession& ClientSession() {
  TClientSession*& session = Installed();
  if (!session) {
    // The program's reservations first: a session lives until the program ends (it is
    // never destroyed at exit, when the registry it gives its reservations back to might
    // be gone already; shutdown drops it in order).
    AccessProtections();
    session = new TClientSession();
  }
  return *session;
}

void ResetClientSession(TAccessProtectionRegistry* registry) {
  TClientSession*& session = Installed();
  // The new session is in force while the old one closes: whatever closing asks for
  // finds the empty one, never the half-closed one.
  std::unique_ptr<TClientSession> old(session);
  session = new TClientSession(registry);
  old.reset();
  assert(session != nullptr && !session->Store && session->DB() == nullptr);
}

// ---------------------------------------------------------------------------------------
// The accessors the program always used, forwarding to the session in force.

TSession& Session() { return ClientSession().Rights; }
TMiniDB* SessionDB() { return ClientSession().DB(); }
void SessionReads(TMiniDB& db) {
  if (!ClientSession().Store) ClientSession().LendStore(&db);
}
void ResetSession() { ResetClientSession(); }
THistory& History() {
  THistory* installed = InstalledHistory();
  return installed ? *installed : ClientSession().History;
}
TSigDB& SignatureDB() { return ClientSession().Signatures; }
TLocksmithStore& LocksmithStore() { return ClientSession().Locksmith; }
TVocabulary& Vocabulary() { return ClientSession().Vocabulary; }
TViewOptions& ViewOptions() { return ClientSession().ViewOptions; }
TRelationCaches& RelationCaches() { return ClientSession().RelationCaches; }
TTransferRecord& TransferRec() { return ClientSession().Transfer; }
