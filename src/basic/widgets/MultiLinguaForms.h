#pragma once
// The widget side of the language system (basic/MultiLingua.h): windows translated when they
// are built, the language switch while windows are open, the language menu.
//
// A translation touches window titles, actions (menu items), buttons, check boxes and radio
// buttons, labels, group boxes, tab and tool-box texts, place-holder texts and tool tips.
// Each text it translates keeps its German source in a dynamic property of its object, and
// every later translation starts from that source, so DE -> EN -> DE gives back the German
// captions exactly. A text that code replaced since it was last translated is taken as new.
// What the user types (line edits, text edits, spin boxes, combo boxes) is never touched, nor
// is anything inside an object marked with SetNoTranslate (a label that shows a record).
// Texts are set from the Unicode lookups: a Greek translation shows as Greek.

#include <functional>
#include <string>
#include <vector>

class QMenu;
class QObject;
class QWidget;

// Translates a window, or a frame or panel inside one, from the source language into the
// current one. Does nothing without entries or while the current language is the source.
void TranslateForm(QWidget* form);
// The same from `fromCode` into `toCode`. `fromCode` is the language of the texts whose
// source is not remembered (set by code since); both languages must be loaded.
void TranslateForm(QWidget* form, const std::string& fromCode, const std::string& toCode);

// Every text of `form` a translation looks up, in the source language (the remembered source
// of a text translated before), line breaks as the "#13#" of the language file. Texts kept
// away by SetNoTranslate are left out. Changes nothing.
std::vector<std::u16string> FormSourceTexts(QWidget* form);
// The same texts as they are shown now.
std::vector<std::u16string> FormShownTexts(QWidget* form);

// Switches the process-wide language system from `oldCode` to `newCode` (and the second
// language to `secondCode` unless that is empty) and translates every open window. False,
// with nothing changed, when there is no system, no entry, or `newCode` is not loaded.
bool SwitchLanguage(const std::string& oldCode, const std::string& newCode,
                    const std::string& secondCode);

// Called with the code of the language chosen in the language menu.
using TLanguageChosen = std::function<void(const std::string& code)>;
// Clears `menu` and fills it with one checkable action per language of the process-wide
// system (see tMLSystem::LanguageMenuEntries; the source language only when
// `includeSource`), the current language checked. Each action's data is the language's
// index. Triggering one calls `onChosen`; without one, it switches to that language.
void FillLanguageMenu(QMenu* menu, bool includeSource, TLanguageChosen onChosen = nullptr);

// The part of `text` before the first line break (trimmed) becomes the text of `caption`,
// the rest (trimmed) that of `hint`; either control may be null. The text is shown as given
// (normally already translated). Labels, buttons, group boxes, line edits and text edits
// take it as their text, any other widget as its window title.
void SetCaptionAndHint(const std::u16string& text, QWidget* caption, QWidget* hint);
void SetCaptionAndHint(const std::string& text, QWidget* caption, QWidget* hint);  // 1252

// Keeps the translation away from `object` and everything inside it.
void SetNoTranslate(QObject* object, bool noTranslate = true);
