#pragma once
// The program's windows as the tests of the whole program meet them: the shipped language
// file loaded, the main window logged in with every page's view made, and every other window
// that translates itself, each made alone. The language file test keeps these lists complete
// (a window the sources translate and the list lacks fails there by its name); the caption
// test opens each of them.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/LoginTestSupport.h"
#include "app/Unit1.h"
#include "basic/MultiLingua.h"

class QWidget;

// "System/Tessaro.lng" as the program ships it.
std::string ShippedLanguageFile();

// The shipped language file loaded into a language system of the test's own.
struct TShippedLanguage {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  TShippedLanguage();
};

// The main window after an administrator's login, every page's view made. `fill` adds
// records to the data folder before the program opens it.
struct TLoggedInWindow {
  TLoginEnv env;
  std::unique_ptr<TTessaroForm> form;
  explicit TLoggedInWindow(const std::function<void(TStoreMaker&)>& fill = nullptr);
  ~TLoggedInWindow();
};

// The windows that translate themselves (TranslateForm(this) in their constructor), by
// class: made on their own here, or shown by the main window (no maker).
using TFormMaker = std::function<std::unique_ptr<QWidget>()>;
const std::map<std::string, TFormMaker>& KnownForms();
