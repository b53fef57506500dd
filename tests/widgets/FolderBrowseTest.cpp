#include <filesystem>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/FolderBrowseUnit.h"
#include "support/TestSupport.h"

namespace {

QAbstractButton* AcceptButton(QDialog& dialog) {
  auto* box = dialog.findChild<QDialogButtonBox*>();
  if (!box) return nullptr;
  for (QAbstractButton* b : box->buttons())
    if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) return b;
  return nullptr;
}

class FolderBrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(tmp.Path() / "data");
    std::filesystem::create_directories(tmp.Path() / "empty");
    WriteAllBytes(tmp.File("data/Tessaro.ada"), "x");
  }
  TTempDir tmp;
};

TEST_F(FolderBrowseTest, ResultEndsWithASlash) {
  QueueDialogDriver([](QDialog& dialog) {
    auto& fileDialog = static_cast<QFileDialog&>(dialog);
    EXPECT_EQ(fileDialog.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(fileDialog.testOption(QFileDialog::DontUseNativeDialog));
    dialog.accept();
  });
  std::string folder;
  ASSERT_TRUE(BrowseForFolder(nullptr, "Datenordner", tmp.Dir() + "data/", false, true, folder));
  EXPECT_EQ(folder, tmp.Dir() + "data/");

  QueueDialogDriver(TDialogDriver());  // closed without choosing
  folder = "unchanged";
  EXPECT_FALSE(BrowseForFolder(nullptr, "Datenordner", tmp.Dir(), false, true, folder));
  EXPECT_EQ(folder, "unchanged");
}

TEST_F(FolderBrowseTest, RequiredFilesGateTheOkButton) {
  for (const char* start : {"empty", "data"}) {
    const bool holds = std::string(start) == "data";
    TFolderBrowser browser;
    browser.startFolder = tmp.Dir() + start + "/";
    browser.requiredFiles = {"Tessaro.adaX", "Tessaro.ada"};
    bool enabled = !holds;
    QueueDialogDriver([&](QDialog& dialog) {
      QCoreApplication::processEvents();
      QAbstractButton* ok = AcceptButton(dialog);
      ASSERT_NE(ok, nullptr);
      enabled = ok->isEnabled();
      dialog.accept();  // as Enter would: refused where no required file is
    });
    EXPECT_EQ(browser.Execute(), holds) << start;
    EXPECT_EQ(enabled, holds) << start;
    if (holds) {
      EXPECT_EQ(browser.folder, tmp.Dir() + "data");
    }
  }
  EXPECT_TRUE(FolderHoldsRequiredFile(tmp.Dir() + "data/", {"nope", "Tessaro.ada"}));
  EXPECT_FALSE(FolderHoldsRequiredFile(tmp.Dir() + "empty/", {"Tessaro.ada"}));
  EXPECT_TRUE(FolderHoldsRequiredFile(tmp.Dir() + "empty/", {}));
}

}  // namespace
