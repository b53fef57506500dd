#include "app/GlueStateUnit.h"

#include <QApplication>

#include "app/ViewRegistryUnit.h"
#include "app/WaitPanelUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "data/MandantUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

const TMLStringList* WinTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("UnitTR100Win", 0);
    t->Add255Obj("Die Eingabemaske ist nicht im Bearbeitungsmodus.#13#Bitte klicken Sie zuvor "
                 "auf \"\xC4" "ndern\" oder \"Neu\".", 1);
    t->Add255Obj("eigene Anlage", 2);
    t->Add255Obj("am Geb\xE4" "ude", 3);
    t->Add255Obj("Eine Eingabe ist noch aktiv (gelbe Felder).#13#Bitte zun\xE4" "chst Speichern "
                 "oder Abbrechen w\xE4hlen.", 4);
    t->Add255Obj("Es wurde keine kompatible Office-Version gefunden.", 6);
    t->Add255Obj("Internet-Links wurden vom Administrator gesperrt.", 7);
    t->Add255Obj("Tessaro  -  Schl\xFC" "sselverwaltung", 8);
    t->Add255Obj("Export", 9);
    t->Add255Obj("Der Datensatz wurde auf weitere %1 Datenbanken kopiert.", 10);
    t->Add255Obj("Bei folgenden Datenbanken ist die Kopie jedoch FEHLGESCHLAGEN ...", 11);
    t->Add255Obj("Kopiervorgang fehlgeschlagen.", 12);
    t->Add255Obj("Datenbank \xF6" "ffnen", 13);
    t->Add255Obj("Bitte beenden Sie zuerst die aktuelle \xDC" "bergabe.", 14);
    t->Add255Obj("ohne Schlie\xDF" "anlage", 16);
    t->Add255Obj("alle Schlie\xDF" "anlagen", 17);
    return t;
  }();
  return table;
}

std::string WinText(int number) { return GetMLText(WinTexts(), number); }
std::string WinTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(WinTexts(), number, argument);
}

TWinGlue& WinGlue() {
  static TWinGlue glue;
  return glue;
}

void ResetWinGlue() {
  TWinGlue& g = WinGlue();
  delete g.WaitPanel.data();
  g = TWinGlue();
  ForgetViews();
}

void ResetForClientData() {
  TWinGlue& g = WinGlue();
  g.PreviousPage = -1;
  g.SeenLoadCount = 0;
  g.LockingSystems.Clear();
  g.LockingSystemsBuilt = false;
  g.Buildings.Clear();
  LogoutUser();
  TMandantState& state = MandantState();
  state.SandboxMode = state.HasCurrentMandant && state.CurrentMandant.Active;
}

TMiniDB* GlueDB() { return SessionDB(); }

// ---------------------------------------------------------------------------------------
// Standard messages.

void ShowLockFailed() { ShowError(CoreText(27)); }
void ShowMsgText28(const std::string& name) { ShowError(CoreText(28) + "\r" + name); }
void ShowMsgText29() { ShowError(CoreText(29)); }
void ShowMsgText30() { ShowError(CoreText(30)); }
void ShowMsgText31() { ShowError(CoreText(31)); }
void ShowMsgText32() { ShowError(CoreText(32)); }
void ShowMsgNumber(int number) {
  ShowError(CoreTextFmt(33, std::to_string(number & 0xFF)));
}
void ShowRestartFailed() { ShowError(CoreText(93)); }
void ShowNotInEditMode() {
  QApplication::beep();
  ShowInfo(WinText(1));
}
