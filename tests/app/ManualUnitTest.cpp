#include "app/ManualUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

TEST(ManualUnit, TheFirstManualFoundIsOpenedOrTheUserIsTold) {
  TTempDir dir;
  TScopedRecorder recorder;
  std::vector<std::string> opened;
  SetDocumentOpener([&](const std::string& file) {
    opened.push_back(file);
    return true;
  });
  EXPECT_EQ(ManualFileName(dir.Dir()), "");
  EXPECT_FALSE(OpenManual(dir.Dir()));
  EXPECT_EQ(recorder.AllText(), "Datei nicht gefunden.\r" + dir.Dir() + "Anleitung_TESSARO.pdf");
  WriteAllBytes(dir.File("Anleitung.pdf"), "%PDF");
  EXPECT_EQ(ManualFileName(dir.Dir()), dir.Dir() + "Anleitung.pdf");
  WriteAllBytes(dir.File("Anleitung TESSARO.pdf"), "%PDF");
  WriteAllBytes(dir.File("Anleitung_TESSARO.pdf"), "%PDF");
  EXPECT_TRUE(OpenManual(dir.Dir()));
  EXPECT_EQ(opened, (std::vector<std::string>{dir.Dir() + "Anleitung_TESSARO.pdf"}));
  SetDocumentOpener(nullptr);
}
