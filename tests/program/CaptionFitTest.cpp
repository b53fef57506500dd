// Every caption the program shows fits its room: each page of the main window and each
// other window, on a screen of 800x600 and of 1280x1024, in German and in English. A label,
// button, check box, radio button, tab, group box title or grid header whose text is wider
// than the room its widget gives it is named with its window, size and language.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include "app/ListingFrameUnit.h"
#include "automation/ClicksScenario.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "program/ProgramWindowsSupport.h"
#include "views/FrameKeysUnit.h"

namespace {

struct TScreenSize {
  int width, height;
};
constexpr TScreenSize kScreens[] = {{800, 600}, {1280, 1024}};

std::string SizeName(const TScreenSize& s) {
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

// A caption as it is drawn: "&" marks the accelerator, "&&" is one "&".
QString Drawn(QString text, bool mnemonic) {
  if (!mnemonic) return text;
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

// The width of the widest line of `text`; blanks at a line's ends show nothing to read.
int TextWidth(const QFontMetrics& fm, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n')))
    widest = std::max(widest, fm.horizontalAdvance(line.trimmed()));
  return widest;
}

// The width of `w` that its parents show, up to the window or a scroll area's viewport.
int VisibleWidth(QWidget* w) {
  QWidget* window = w->window();
  QRect shown(w->mapTo(window, QPoint(0, 0)), w->size());
  for (QWidget* up = w->parentWidget(); up && up != window; up = up->parentWidget()) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(up->parentWidget()))
      if (area->viewport() == up) return shown.width();
    shown &= QRect(up->mapTo(window, QPoint(0, 0)), up->size());
  }
  shown &= window->rect();
  return std::max(0, shown.width());
}

// The captions that do not fit, one line each: "<where>: <kind> "<text>" needs N, has M".
class TCutCaptions {
 public:
  explicit TCutCaptions(std::string context) : context_(std::move(context)) {}

  void CheckAll(QWidget* top) {
    if (!top->isVisible()) return;
    Check(top);
    for (QWidget* w : top->findChildren<QWidget*>())
      if (w->isVisible() && !w->window()->isHidden()) Check(w);
  }
  const std::string& List() const { return list_; }

 private:
  void Report(QWidget* w, const char* kind, const QString& text, int need, int room) {
    // What the widget's parents cut off its right or left is no room either; the contents of
    // a scroll area are shown by scrolling.
    room -= w->width() - VisibleWidth(w);
    if (need <= room) return;
    const std::string name = w->objectName().isEmpty() ? std::string(w->metaObject()->className())
                                                       : FromQString(w->objectName());
    const std::string line = "\n  " + context_ + ": " + kind + " " + name + " \"" +
                             FromQString(text) + "\" needs " + std::to_string(need) + ", has " +
                             std::to_string(room);
    if (list_.find(line) == std::string::npos) list_ += line;
  }

  void Check(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return CheckLabel(label);
    if (auto* tabs = qobject_cast<QTabBar*>(w)) return CheckTabs(tabs);
    if (auto* box = qobject_cast<QGroupBox*>(w)) return CheckGroupBox(box);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return CheckButton(button);
    if (auto* table = qobject_cast<QTableView*>(w)) return CheckHeader(table->horizontalHeader());
    if (auto* tree = qobject_cast<QTreeView*>(w)) return CheckHeader(tree->header());
  }

  void CheckLabel(QLabel* label) {
    if (label->wordWrap() || label->text().isEmpty() || label->width() <= 0) return;
    QString text = label->text();
    if (label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
      QTextDocument doc;
      doc.setHtml(text);
      text = doc.toPlainText();
    }
    text = Drawn(text, label->buddy() != nullptr);
    const QFontMetrics fm(label->font());
    int room = label->contentsRect().width() - 2 * label->margin();
    if (label->indent() > 0)
      room -= label->indent();
    else if (label->indent() < 0 && label->frameWidth() > 0)
      room -= fm.horizontalAdvance(QLatin1Char('x')) / 2;
    const int need = TextWidth(fm, text);
    Report(label, "label", text, need, room);
  }

  void CheckButton(QAbstractButton* button) {
    const QString text = Drawn(button->text(), true);
    if (text.isEmpty() || button->width() <= 0) return;
    QStyle* style = button->style();
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    const int iconRoom = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    int room = 0;
    const char* kind = "button";
    if (qobject_cast<QCheckBox*>(button)) {
      kind = "check box";
      room = style->subElementRect(QStyle::SE_CheckBoxContents, &opt, button).width() - iconRoom;
    } else if (qobject_cast<QRadioButton*>(button)) {
      kind = "radio button";
      room = style->subElementRect(QStyle::SE_RadioButtonContents, &opt, button).width() - iconRoom;
    } else if (auto* push = qobject_cast<QPushButton*>(button)) {
      if (push->isFlat()) opt.features |= QStyleOptionButton::Flat;
      room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button).width() - iconRoom;
      if (push->menu()) room -= style->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, button);
    } else if (auto* tool = qobject_cast<QToolButton*>(button)) {
      if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly) return;
      const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, button);
      room = button->width() - 2 * frame;
      if (tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon) room -= iconRoom;
      if (tool->popupMode() == QToolButton::MenuButtonPopup)
        room -= style->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, button);
    } else {
      room = button->contentsRect().width();
    }
    const int need = TextWidth(QFontMetrics(button->font()), text);
    Report(button, kind, text, need, room);
  }

  void CheckTabs(QTabBar* tabs) {
    QStyle* style = tabs->style();
    const int space = style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
    // Where the scroll arrows begin, when the tabs need them.
    int visibleRight = tabs->width();
    for (QToolButton* arrow : tabs->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
      if (arrow->isVisible()) visibleRight = std::min(visibleRight, arrow->x());
    const QFontMetrics fm(tabs->font());
    for (int i = 0; i < tabs->count(); ++i) {
      if (!tabs->isTabVisible(i) || tabs->tabText(i).isEmpty()) continue;
      const QString text = Drawn(tabs->tabText(i), true);
      const QRect rect = tabs->tabRect(i);
      int room = rect.width() - space;
      if (!tabs->tabIcon(i).isNull()) room -= tabs->iconSize().width() + 4;
      for (QWidget* side :
           {tabs->tabButton(i, QTabBar::LeftSide), tabs->tabButton(i, QTabBar::RightSide)})
        if (side) room -= side->width();
      // A tab behind the scroll arrows or beyond the bar's edge shows nothing of its text.
      if (rect.left() < 0 || rect.right() >= visibleRight)
        room = std::max(
            0, std::min(rect.right(), visibleRight - 1) - std::max(rect.left(), 0) - space);
      const int need = TextWidth(fm, text);
      if (need > room) Report(tabs, "tab", text, need, room);
    }
  }

  void CheckGroupBox(QGroupBox* box) {
    const QString text = Drawn(box->title(), true);
    if (text.isEmpty()) return;
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.lineWidth = 1;
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    opt.textAlignment = box->alignment();
    if (box->isFlat()) opt.features |= QStyleOptionFrame::Flat;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
    const int room = std::min(label.right(), box->rect().right()) - std::max(label.left(), 0) + 1;
    const int need = TextWidth(QFontMetrics(box->font()), text);
    Report(box, "group box", text, need, room);
  }

  void CheckHeader(QHeaderView* header) {
    if (!header || !header->isVisible() || !header->model()) return;
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const QFontMetrics fm(header->font());
    for (int section = 0; section < header->count(); ++section) {
      if (header->isSectionHidden(section)) continue;
      const QString text = header->model()->headerData(section, Qt::Horizontal).toString();
      if (text.trimmed().isEmpty()) continue;
      int room = header->sectionSize(section) - 2 * margin;
      if (header->isSortIndicatorShown() && header->sortIndicatorSection() == section)
        room -= header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
      const int need = TextWidth(fm, text);
      if (need > room) Report(header->parentWidget(), "grid header", text, need, room);
    }
  }

  std::string context_;
  std::string list_;
};

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
  }
}

// Chooses a language in the "Sprache" menu as a hand does: a click on the menu's title in
// the menu bar, then on the language's entry in the menu that opened.
void ChooseLanguage(TTessaroForm& form, const QString& caption) {
  QAction* entry = nullptr;
  for (QAction* a : form.Language1->actions())
    if (a->text() == caption) entry = a;
  ASSERT_NE(entry, nullptr) << FromQString(caption);
  ASSERT_TRUE(hand::ChooseMenuEntry(form.MainMenu1, form.Language1, entry));
}

// The main window shown as a maximised window on a screen of `size`.
void ShowAtSize(QWidget& window, const TScreenSize& size) {
  window.setMinimumSize(0, 0);
  window.resize(size.width, size.height);
  window.show();
  Settle();
}

// A key that opens a cylinder, so the keys view marks its cylinder tab; the last of two in
// the keys list.
void OneKeyWithACylinder(TStoreMaker& maker) {
  maker.db.NewNamedRecord(icKey, "Archiv", "");
  const int32_t key = maker.db.NewNamedRecord(icKey, "Haupteingang", "");
  const int32_t cylinder = maker.db.NewNamedRecord(icCylinder, "Z-100", "");
  maker.db.AddLinkBoth(key, cylinder, icCylinder, icKey);
  maker.db.Commit();
}

// TESSARO_CAPTION_SHOTS names a folder that keeps a picture of the keys, persons and doors
// pages at each size and language, to look at.
void KeepPicture(QWidget& window, int page, const TScreenSize& screen, const std::string& lang) {
  const char* folder = std::getenv("TESSARO_CAPTION_SHOTS");
  if (!folder || !*folder ||
      (page != pgKeys && page != pgPersons && page != pgDoors && page != pgCabinets))
    return;
  const std::string file = std::string(folder) + "/page" + std::to_string(page) + "-" +
                           SizeName(screen) + "-" + lang + ".png";
  EXPECT_TRUE(window.grab().save(QString::fromStdString(file))) << file;
}

// The keys page's last key, chosen by the keyboard: into the list, to its end.
void ShowLastKey(TFrameKeys& keys) {
  QAbstractItemView* list = keys.ListingFrame->ListBox;
  ASSERT_EQ(keys.ListingFrame->Count(), 2);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_End);
  Settle();
}

std::string PageName(TTessaroForm& form, int page) {
  return "page " + std::to_string(page) + " \"" + FromQString(form.PageControl->tabText(page)) +
         "\"";
}

TEST(CaptionFit, EveryCaptionOfEveryPageAndWindowHasItsRoom) {
  TShippedLanguage shipped;
  std::string cut;
  TLoggedInWindow window(OneKeyWithACylinder);
  TTessaroForm& form = *window.form;
  ShowAtSize(form, kScreens[0]);
  form.PageControl->setCurrentIndex(pgKeys);
  auto* keys = form.PageControl->widget(pgKeys)->findChild<TFrameKeys*>();
  ASSERT_NE(keys, nullptr);
  ShowLastKey(*keys);
  ASSERT_NE(keys->CurrentId, 0);
  for (const char* language : {"Deutsch (German)", "English"}) {
    if (std::string(language) == "English") {
      ShowAtSize(form, kScreens[0]);
      ChooseLanguage(form, language);
      ASSERT_EQ(shipped.ml.CurrentLanguage(), "EN");
    }
    const std::string lang = shipped.ml.CurrentLanguage();
    for (const TScreenSize& screen : kScreens) {
      ShowAtSize(form, screen);
      const std::string at = SizeName(screen) + " " + lang;
      if (form.width() > screen.width || form.height() > screen.height)
        cut += "\n  main window at " + at + " is " + std::to_string(form.width()) + "x" +
               std::to_string(form.height());
      for (int page = 0; page < kPageCount; ++page) {
        form.PageControl->setTabVisible(page, true);
        form.PageControl->setCurrentIndex(page);
        Settle();
        TCutCaptions found(PageName(form, page) + " at " + at);
        found.CheckAll(&form);
        cut += found.List();
        KeepPicture(form, page, screen, lang);
      }
    }
    for (const auto& [name, make] : KnownForms()) {
      if (!make) continue;
      std::unique_ptr<QWidget> dialog = make();
      for (const TScreenSize& screen : kScreens) {
        const std::string at = SizeName(screen) + " " + lang;
        dialog->show();
        Settle();
        // A window larger than the screen is shown as large as the screen.
        if (dialog->width() > screen.width || dialog->height() > screen.height) {
          dialog->resize(std::min(dialog->width(), screen.width),
                         std::min(dialog->height(), screen.height));
          Settle();
        }
        if (dialog->width() > screen.width || dialog->height() > screen.height)
          cut += "\n  " + name + " at " + at + " is " + std::to_string(dialog->width()) + "x" +
                 std::to_string(dialog->height());
        TCutCaptions found(name + " at " + at);
        found.CheckAll(dialog.get());
        cut += found.List();
        if (const char* folder = std::getenv("TESSARO_CAPTION_SHOTS"); folder && *folder)
          dialog->grab().save(QString::fromStdString(std::string(folder) + "/" + name + "-" +
                                                     SizeName(screen) + "-" + lang + ".png"));
      }
      dialog->hide();
    }
  }
  form.hide();
  EXPECT_EQ(cut, "") << "captions wider than their room";
}

// The texts of the keys view that code sets (the name's label, the count line, the list's
// title, the mark of a tab with links) follow a language switch made in the "Sprache" menu,
// both ways, and the list's title keeps its room.
TEST(CaptionFit, TheKeysViewsOwnCaptionsFollowTheLanguageMenu) {
  TShippedLanguage shipped;
  TLoggedInWindow window(OneKeyWithACylinder);
  TTessaroForm& form = *window.form;
  ShowAtSize(form, kScreens[1]);
  QTabBar* pages = form.PageControl->tabBar();
  QTest::mouseClick(pages, Qt::LeftButton, {}, pages->tabRect(pgKeys).center());
  ASSERT_EQ(form.PageControl->currentIndex(), pgKeys);
  auto* keys = form.PageControl->widget(pgKeys)->findChild<TFrameKeys*>();
  ASSERT_NE(keys, nullptr);
  ShowLastKey(*keys);
  ASSERT_NE(keys->CurrentId, 0);
  const int cylinderTab = keys->LinkPageControl->indexOf(keys->LinkCylsSheet);
  // The mark of a tab whose page holds links: a blank and a bullet (149 in Windows-1252).
  const std::string mark = " \x95";

  struct TExpected {
    const char* menuEntry;
    std::string keyLabel, countLine, listTitle, cylinderTab;
  };
  const TExpected languages[] = {
      {"English", "Key:", "available of a total of", "Key list", "Cylinder" + mark},
      {"Deutsch (German)", "Schl\xFCssel:", "verf\xFCgbar von insgesamt", "Schl\xFCssel-Liste",
       "Zylinder" + mark},
  };
  for (const TExpected& expected : languages) {
    ChooseLanguage(form, expected.menuEntry);
    const std::string in = expected.menuEntry;
    EXPECT_EQ(FromQString(keys->KeyNameLabel->text()), expected.keyLabel) << in;
    EXPECT_EQ(FromQString(keys->PcsLabel->text() + " " + keys->OfTotalLabel->text()),
              expected.countLine)
        << in;
    QLabel* title = keys->ListingFrame->CaptionLabel;
    EXPECT_EQ(FromQString(title->text()), expected.listTitle) << in;
    EXPECT_GE(title->contentsRect().width(), title->fontMetrics().horizontalAdvance(title->text()))
        << in;
    EXPECT_EQ(FromQString(keys->LinkPageControl->tabText(cylinderTab)), expected.cylinderTab) << in;
  }
  form.hide();
}

}  // namespace
