#include "basic/widgets/MultiLinguaForms.h"

#include <algorithm>
#include <utility>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBox>
#include <QToolButton>
#include <QVariant>

#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/QtGlue.h"

namespace {

const char* const kNoTranslate = "tessaroNoTranslate";
const char* const kLanguageCode = "tessaroLanguageCode";
const char* const kLanguageGroup = "tessaroLanguageGroup";
// Longer texts are not captions; they are left as they are.
constexpr int kMaxCaptionLength = 4095;
// Room for the box or circle of a check box or radio button beside its caption.
constexpr int kIndicatorRoom = 22;

bool SameCode(const std::string& a, const std::string& b) {
  return AnsiCompareText(a, b) == 0;
}

// A caption translated for a widget: its line breaks match the "#13#" of the language file
// and come back as LF. Without a match (grade mlgNone) the text comes back exactly as it
// was; the plain lookup would have dropped an "&" accelerator and trimmed it.
std::u16string TranslateCaption(const tMLSystem& ml, const std::u16string& text,
                                const std::string& from, const std::string& to, int& grade) {
  grade = mlgNone;
  if (text.empty()) return text;
  // A tab whose page holds links carries a bullet after its caption: the caption is looked
  // up without it and keeps it.
  const std::u16string mark = u" \u2022";
  if (text.size() > mark.size() && text.ends_with(mark)) {
    const std::u16string out =
        TranslateCaption(ml, text.substr(0, text.size() - mark.size()), from, to, grade);
    return grade == mlgNone ? text : out + mark;
  }
  std::u16string keyed = ReplaceAllOnce(text, u"\r\n", u"#13#");
  keyed = ReplaceAllOnce(ReplaceAllOnce(keyed, u"\r", u"#13#"), u"\n", u"#13#");
  const std::u16string out = ml.TranslateText(keyed, from, to, grade);
  if (grade == mlgNone || out == keyed) return text;
  return ReplaceLineBreakMarks(out, u"\n");
}

// One run of translation over one or more windows.
struct TPass {
  const tMLSystem& ml;
  std::string source;  // the language the program's texts are written in
  std::string from;    // the language the texts without a remembered source are in
  std::string to;
  QSet<QObject*> done;
  // When set, the pass only gathers texts (keyed as the language file keys them) and changes
  // nothing: the source texts, or the texts shown when `gatherShown`.
  std::vector<std::u16string>* gathered = nullptr;
  bool gatherShown = false;
};

// The text to show for one translatable text (`slot`) of `object`, whose text is now
// `current`. The German source and the text shown are remembered in two dynamic properties;
// while the text is still the one shown, the translation starts from the remembered source.
// A text changed since (or never translated) is taken back from `from` into the source
// language first; when neither way finds it, it stays as it is and nothing is remembered.
QString TranslateSlot(QObject* object, const QByteArray& slot, const QString& current,
                      const TPass& pass) {
  if (current.isEmpty()) return current;
  const QByteArray sourceName = "tessaroMLSource." + slot;
  const QByteArray shownName = "tessaroMLShown." + slot;
  const QVariant remembered = object->property(sourceName.constData());
  const QVariant shown = object->property(shownName.constData());
  if (pass.gathered) {
    if (current.size() > kMaxCaptionLength) return current;
    const QString source = !pass.gatherShown && remembered.isValid() && shown.toString() == current
                               ? remembered.toString()
                               : current;
    std::u16string keyed = ReplaceAllOnce(source.toStdU16String(), u"\r\n", u"#13#");
    keyed = ReplaceAllOnce(ReplaceAllOnce(keyed, u"\r", u"#13#"), u"\n", u"#13#");
    pass.gathered->push_back(std::move(keyed));
    return current;
  }

  std::u16string source;
  bool known = false;
  int grade = mlgNone;
  if (remembered.isValid() && shown.toString() == current) {
    source = remembered.toString().toStdU16String();
    known = true;
  } else {
    if (current.size() > kMaxCaptionLength) return current;
    source = current.toStdU16String();
    if (!SameCode(pass.from, pass.source)) {
      std::u16string back = TranslateCaption(pass.ml, source, pass.from, pass.source, grade);
      if (grade != mlgNone) {
        source = std::move(back);
        known = true;
      }
    }
  }

  std::u16string out = TranslateCaption(pass.ml, source, pass.source, pass.to, grade);
  if (grade == mlgNone) {
    if (!known) return current;
    out = source;
  }
  const QString result = QString::fromStdU16String(out);
  object->setProperty(sourceName.constData(), QString::fromStdU16String(source));
  object->setProperty(shownName.constData(), result);
  return result;
}

template <class Setter>
void Translate(QObject* object, const QByteArray& slot, const QString& current,
               const TPass& pass, Setter set) {
  const QString result = TranslateSlot(object, slot, current, pass);
  if (result != current) set(result);
}

// The tool tip QAction derives from its text when none was set (as Qt does it).
QString DerivedToolTip(QString text) {
  text.remove(QStringLiteral("..."));
  for (int i = 0; i < text.size(); ++i)
    if (text.at(i) == QLatin1Char('&')) text.remove(i, 1);
  return text.trimmed();
}

QString WithoutAccelerator(QString text) {
  for (int i = 0; i < text.size(); ++i)
    if (text.at(i) == QLatin1Char('&')) text.remove(i, 1);
  return text;
}

bool Excluded(const QObject* object) {
  for (const QObject* o = object; o; o = o->parent())
    if (o->property(kNoTranslate).toBool()) return true;
  return false;
}

// A check box or radio button grows (never shrinks) to show its whole caption.
void WidenToCaption(QAbstractButton* button) {
  const int textWidth = button->fontMetrics().horizontalAdvance(WithoutAccelerator(button->text()));
  const int wanted = std::max(textWidth + kIndicatorRoom, button->sizeHint().width());
  if (button->width() >= wanted) return;
  if (button->maximumWidth() < wanted) button->setMaximumWidth(wanted);
  button->resize(wanted, button->height());
}

void TranslateAction(QAction* a, const TPass& pass) {
  if (a->isSeparator()) return;
  const bool ownToolTip = a->toolTip() != DerivedToolTip(a->text());
  Translate(a, "text", a->text(), pass, [a](const QString& t) { a->setText(t); });
  if (ownToolTip)
    Translate(a, "toolTip", a->toolTip(), pass, [a](const QString& t) { a->setToolTip(t); });
}

void TranslateWidget(QWidget* w, const TPass& pass) {
  Translate(w, "windowTitle", w->windowTitle(), pass,
            [w](const QString& t) { w->setWindowTitle(t); });
  Translate(w, "toolTip", w->toolTip(), pass, [w](const QString& t) { w->setToolTip(t); });

  // Only captions: the content of line edits, text edits, spin boxes and combo boxes is the
  // user's, whatever its length, and is never looked up.
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    auto* tool = qobject_cast<QToolButton*>(w);
    if (!(tool && tool->defaultAction()))  // else its action carries the text
      Translate(w, "text", b->text(), pass, [b](const QString& t) { b->setText(t); });
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) WidenToCaption(b);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    Translate(w, "text", l->text(), pass, [l](const QString& t) { l->setText(t); });
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    Translate(w, "title", g->title(), pass, [g](const QString& t) { g->setTitle(t); });
  } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
    for (int i = 0; i < tabs->count(); ++i) {
      const QByteArray n = QByteArray::number(i);
      Translate(w, "tab" + n, tabs->tabText(i), pass,
                [tabs, i](const QString& t) { tabs->setTabText(i, t); });
      Translate(w, "tabToolTip" + n, tabs->tabToolTip(i), pass,
                [tabs, i](const QString& t) { tabs->setTabToolTip(i, t); });
    }
  } else if (auto* box = qobject_cast<QToolBox*>(w)) {
    for (int i = 0; i < box->count(); ++i) {
      const QByteArray n = QByteArray::number(i);
      Translate(w, "item" + n, box->itemText(i), pass,
                [box, i](const QString& t) { box->setItemText(i, t); });
      Translate(w, "itemToolTip" + n, box->itemToolTip(i), pass,
                [box, i](const QString& t) { box->setItemToolTip(i, t); });
    }
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    Translate(w, "placeholder", e->placeholderText(), pass,
              [e](const QString& t) { e->setPlaceholderText(t); });
  } else if (auto* e = qobject_cast<QTextEdit*>(w)) {
    Translate(w, "placeholder", e->placeholderText(), pass,
              [e](const QString& t) { e->setPlaceholderText(t); });
  } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    Translate(w, "placeholder", e->placeholderText(), pass,
              [e](const QString& t) { e->setPlaceholderText(t); });
  }
}

void TranslateObject(QObject* o, TPass& pass) {
  if (pass.done.contains(o)) return;
  pass.done.insert(o);
  if (Excluded(o)) return;
  if (auto* a = qobject_cast<QAction*>(o))
    TranslateAction(a, pass);
  else if (auto* w = qobject_cast<QWidget*>(o))
    TranslateWidget(w, pass);
}

void TranslateTree(QWidget* root, TPass& pass) {
  QList<QObject*> objects{root};
  objects += root->findChildren<QObject*>();
  for (QObject* o : objects) {
    TranslateObject(o, pass);
    // Actions shown here but owned elsewhere (shared between menus and tool bars).
    if (auto* w = qobject_cast<QWidget*>(o))
      for (QAction* a : w->actions()) TranslateObject(a, pass);
  }
}

bool CanTranslate(const tMLSystem& ml, const std::string& from, const std::string& to) {
  return !ml.Entries().empty() && !SameCode(from, to);
}

std::u16string TrimControls(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return s.substr(b, e - b);
}

void SetControlText(QWidget* w, const QString& text) {
  if (!w) return;
  if (auto* l = qobject_cast<QLabel*>(w))
    l->setText(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(w))
    b->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(w))
    g->setTitle(text);
  else if (auto* e = qobject_cast<QLineEdit*>(w))
    e->setText(text);
  else if (auto* e = qobject_cast<QTextEdit*>(w))
    e->setPlainText(text);
  else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
    e->setPlainText(text);
  else
    w->setWindowTitle(text);
}

// The language menu's checks follow the current language (also when a handler refused).
void CheckCurrentLanguage(QMenu* menu) {
  const tMLSystem* ml = MLSystemOrNull();
  const std::string current = ml ? tMLSystem::AliasOf(ml->CurrentLanguage()) : std::string();
  for (QAction* a : menu->actions()) {
    const QVariant code = a->property(kLanguageCode);
    if (code.isValid()) a->setChecked(code.toString().toStdString() == current);
  }
}

}  // namespace

void TranslateForm(QWidget* form) {
  const tMLSystem* ml = MLSystemOrNull();
  if (!ml) return;
  TranslateForm(form, ml->SourceLanguage(), ml->CurrentLanguage());
}

void TranslateForm(QWidget* form, const std::string& fromCode, const std::string& toCode) {
  const tMLSystem* ml = MLSystemOrNull();
  if (!form || !ml || !CanTranslate(*ml, fromCode, toCode)) return;
  TPass pass{*ml, ml->SourceLanguage(), fromCode, toCode, {}, nullptr, false};
  TranslateTree(form, pass);
}

namespace {

std::vector<std::u16string> GatherTexts(QWidget* form, bool shown) {
  std::vector<std::u16string> texts;
  const tMLSystem* ml = MLSystemOrNull();
  if (!form || !ml) return texts;
  const std::string& source = ml->SourceLanguage();
  TPass pass{*ml, source, source, source, {}, &texts, shown};
  TranslateTree(form, pass);
  return texts;
}

}  // namespace

std::vector<std::u16string> FormSourceTexts(QWidget* form) { return GatherTexts(form, false); }

std::vector<std::u16string> FormShownTexts(QWidget* form) { return GatherTexts(form, true); }

bool SwitchLanguage(const std::string& oldCode, const std::string& newCode,
                    const std::string& secondCode) {
  tMLSystem* ml = MLSystemOrNull();
  if (!ml) return false;
  return ml->SwitchLanguage(newCode, secondCode, [&] {
    if (!CanTranslate(*ml, oldCode, newCode)) return;
    TPass pass{*ml, ml->SourceLanguage(), oldCode, newCode, {}, nullptr, false};
    for (QWidget* w : QApplication::topLevelWidgets()) TranslateTree(w, pass);
  });
}

void FillLanguageMenu(QMenu* menu, bool includeSource, TLanguageChosen onChosen) {
  if (!menu) return;
  // The menu may be refilled from one of its own actions: the old ones go later.
  for (QAction* a : menu->actions()) {
    menu->removeAction(a);
    if (a->parent() == menu) a->deleteLater();
  }
  for (QActionGroup* g : menu->findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly))
    if (g->property(kLanguageGroup).toBool()) g->deleteLater();

  const tMLSystem* ml = MLSystemOrNull();
  if (!ml) return;
  auto* group = new QActionGroup(menu);
  group->setProperty(kLanguageGroup, true);
  group->setExclusive(true);
  QPointer<QMenu> guarded(menu);
  for (const tMLSystem::TLanguageMenuEntry& e : ml->LanguageMenuEntries(includeSource)) {
    const std::string code = ml->Languages()[e.index].code;
    QAction* a = menu->addAction(ToQString(e.caption));
    a->setCheckable(true);
    a->setData(e.index);
    a->setProperty(kLanguageCode, QString::fromStdString(code));
    a->setActionGroup(group);
    SetNoTranslate(a);  // a language's own name is never translated
    QObject::connect(a, &QAction::triggered, menu, [guarded, code, onChosen] {
      if (onChosen) {
        onChosen(code);
      } else if (tMLSystem* s = MLSystemOrNull()) {
        SwitchLanguage(s->CurrentLanguage(), ResolveLangCode(code), "");
      }
      if (guarded) CheckCurrentLanguage(guarded);
    });
  }
  CheckCurrentLanguage(menu);
}

void SetCaptionAndHint(const std::u16string& text, QWidget* caption, QWidget* hint) {
  const size_t br = text.find_first_of(u"\r\n");
  const std::u16string head = br == std::u16string::npos ? text : text.substr(0, br);
  std::u16string rest = br == std::u16string::npos ? std::u16string() : text.substr(br + 1);
  rest = ReplaceAllOnce(TrimControls(rest), u"\r\n", u"\n");
  rest = ReplaceAllOnce(rest, u"\r", u"\n");
  SetControlText(caption, QString::fromStdU16String(TrimControls(head)));
  SetControlText(hint, QString::fromStdU16String(rest));
}

void SetCaptionAndHint(const std::string& text, QWidget* caption, QWidget* hint) {
  SetCaptionAndHint(Cp1252ToUtf16(text), caption, hint);
}

void SetNoTranslate(QObject* object, bool noTranslate) {
  if (object) object->setProperty(kNoTranslate, noTranslate);
}
