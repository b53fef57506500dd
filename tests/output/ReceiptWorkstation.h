#pragma once
// A workstation for printing receipts: the program folder with its settings file, a
// client's data folder with its store, opened as the client's data of the session.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "basic/ParamsUnit.h"
#include "data/ClientSessionUnit.h"
#include "data/DomainFixture.h"
#include "data/MandantUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "platform/PlatformFileAccess.h"
#include "support/TestSupport.h"

class TReceiptWorkstationTest : public ::testing::Test {
 protected:
  // The workstation's folders and store, the receipt settings fresh, no preview.
  void OpenWorkstation() {
    PfMakeFolders(Prog());
    commandLine.Init({}, Prog() + "Tessaro");
    store = std::make_unique<TDomainStore>(data);
    InstallNameFuncs(**store);
    state.Reservations = &store->registry;
    state.ProgramIniName = Prog() + "Tessaro.ini";
    state.DataRoot = data.Dir();
    state.DataPath = data.Dir();
    scope = std::make_unique<TMandantStateScope>(state);
    ResetReceiptSettings();
    PrintSettings().preview = false;
    ClientSession().LendStore(store->db.get());
  }
  void CloseWorkstation() {
    ClientSession().LendStore(nullptr);
    ResetReceiptSettings();
    scope.reset();
    store.reset();
  }

  std::string Prog() const { return prog.Dir() + "prog/"; }
  TMiniDB& db() { return **store; }

  TTempDir prog, data;
  TCommandLine commandLine;
  TCommandLineScope commandLineScope{commandLine};
  std::unique_ptr<TDomainStore> store;
  TMandantState state;
  std::unique_ptr<TMandantStateScope> scope;
};
