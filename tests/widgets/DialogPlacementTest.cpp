// File dialogs that never read the files they list, Qt's own texts in the program's
// language, and windows kept on the screen.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QAbstractFileIconProvider>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtLanguageUnit.h"
#include "basic/widgets/ScreenPlaceUnit.h"

namespace {

namespace fs = std::filesystem;

struct TScratchDir {
  fs::path path;
  TScratchDir() {
    char name[] = "/tmp/tessaro-dialogs-XXXXXX";
    path = mkdtemp(name);
  }
  ~TScratchDir() { fs::remove_all(path); }
};

// Typing a path under /proc into a file dialog froze the program: Qt's own icon provider
// reads the first bytes of every file it lists to learn its type, and some files there
// never answer. The program's file dialogs tell files by kind and name only.
TEST(FileDialogs, ListTheirFilesWithoutReadingThem) {
  TScratchDir dir;
  // A PDF by its contents only: whoever names its type "PDF" has read it.
  const fs::path unnamed = dir.path / "receipt";
  std::ofstream(unnamed) << "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
  const fs::path named = dir.path / "list.csv";
  std::ofstream(named) << "a;b\n";
  const QFileInfo unnamedInfo(QString::fromStdString(unnamed.string()));
  ASSERT_TRUE(QAbstractFileIconProvider().type(unnamedInfo).contains("PDF"))
      << "Qt's own provider reads the contents (the fault this guards against)";

  QFileDialog dialog(nullptr, "Datei", QString::fromStdString(dir.path.string()));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  QAbstractFileIconProvider* used = nullptr;
  QueueDialogDriver([&](QDialog& d) { used = static_cast<QFileDialog&>(d).iconProvider(); });
  ExecModal(dialog);
  ASSERT_EQ(used, PlainFileIconProvider());
  EXPECT_FALSE(used->type(unnamedInfo).contains("PDF")) << used->type(unnamedInfo).toStdString();
  EXPECT_FALSE(used->icon(unnamedInfo).isNull());
  EXPECT_FALSE(used->type(QFileInfo(QString::fromStdString(named.string()))).isEmpty());
  EXPECT_FALSE(used->icon(QFileInfo(QString::fromStdString(dir.path.string()))).isNull());

  // The print dialog's output file field completes paths from a file list of its own.
  QPrinter printer;
  QPrintDialog print(&printer);
  int lists = 0;
  QueueDialogDriver([&](QDialog& d) {
    for (QFileSystemModel* model : d.findChildren<QFileSystemModel*>()) {
      ++lists;
      EXPECT_EQ(model->iconProvider(), PlainFileIconProvider());
    }
  });
  ExecModal(print);
  EXPECT_GT(lists, 0);
}

// Qt's dialogs speak the program's language: German with Qt's German texts, English
// without them, and a switch back and forth follows.
TEST(QtTranslations, FollowTheProgramsLanguage) {
  const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
  ASSERT_FALSE(QtTranslationsFile("", "DE").empty())
      << "Qt's German texts (qt6-translations-l10n) are missing";
  EXPECT_EQ(QtTranslationsFile("", "../DE"), "");
  ASSERT_TRUE(LoadQtTranslations("", "DE"));
  EXPECT_EQ(QtTranslationsLanguage(), "de");
  EXPECT_EQ(lookIn(), QStringLiteral("Suchen in:"));
  {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* label = dialog.findChild<QLabel*>("lookInLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Suchen in:"));
  }
  EXPECT_FALSE(LoadQtTranslations("", "EN")) << "English is Qt's own";
  EXPECT_EQ(QtTranslationsLanguage(), "");
  EXPECT_EQ(lookIn(), QStringLiteral("Look in:"));
  EXPECT_TRUE(LoadQtTranslations("", "de"));
  EXPECT_EQ(lookIn(), QStringLiteral("Suchen in:"));
  LoadQtTranslations("", "EN");
}

TEST(ScreenPlace, AWindowIsMovedOntoTheWorkArea) {
  const QRect area(0, 0, 800, 600);
  struct TCase {
    QRect frame, expected;
  } cases[] = {
      {{-442, 50, 300, 200}, {0, 50, 300, 200}},     // left of the screen
      {{700, 550, 300, 200}, {500, 400, 300, 200}},  // past the bottom right
      {{10, 10, 300, 200}, {10, 10, 300, 200}},      // already on it
      {{-50, -50, 1000, 700}, {0, 0, 800, 600}},     // larger than the area
  };
  for (const TCase& c : cases) EXPECT_EQ(FitOnArea(c.frame, area), c.expected) << c.frame.x();

  QWidget window;
  const QRect work = WorkAreaOf(&window);
  ASSERT_FALSE(work.isEmpty());
  window.setGeometry(work.left() - 500, work.top() + 10, 200, 100);
  KeepOnScreen(&window);
  EXPECT_TRUE(work.contains(window.frameGeometry())) << window.x();
}

}  // namespace
