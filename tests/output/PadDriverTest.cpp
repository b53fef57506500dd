// The binding to the pad driver (registry value, file, the 35 names) and the signature
// frame.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "data/SigDrawUnit.h"
#include "output/PadDriverUnit.h"
#include "output/SigFrameUnit.h"
#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"
#include "support/ScriptedPadDriver.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

void SetDriverFolder(const TRegistryTestRoot& root, const std::string& folder) {
  ASSERT_TRUE(TRegistryStore(root.UserRoot(), root.MachineRoot())
                  .WriteString(TRegScope::Machine, kPadRegistryKey, kPadRegistryValue, folder));
}

struct PadBinding : ::testing::Test {
  void SetUp() override { ResetPadLibrary(); }
  void TearDown() override {
    SetPadLibraryLoader(nullptr);
    ResetPadLibrary();
  }
};

TEST_F(PadBinding, WithoutLibraryNothingIsBound) {
  TRegistryTestRoot root;
  TTempDir folder;
  // No value.
  EXPECT_EQ(LoadPadLibrary(""), kPadNoLibrary);
  EXPECT_FALSE(PadLibraryReady());
  // A value naming a folder without the file, and a path to a missing file.
  SetDriverFolder(root, folder.Dir());
  EXPECT_EQ(PadLibraryPathFromRegistry(), folder.Dir() + "SOPad.so");
  EXPECT_EQ(LoadPadLibrary(""), kPadNoLibrary);
  EXPECT_EQ(LoadPadLibrary(folder.File("elsewhere.so")), kPadNoLibrary);
  // A file that is no library: the load fails.
  WriteAllBytes(folder.File("SOPad.so"), "not a library");
  EXPECT_EQ(LoadPadLibrary(""), kPadNoLibrary);
  EXPECT_FALSE(PadLibraryError().empty());
  EXPECT_EQ(PadDriverStatus(), kPadNotLoaded);
  EXPECT_EQ(PadDriver().startCapture, nullptr);
}

TEST_F(PadBinding, MissingNamesMakeTheDriverIncomplete) {
  for (const char* name : {"enumPorts", "getFrame", "startCapture", "SetDriverOptions"}) {
    TScriptedPadScope scope;
    scope.pad.missing = {name};
    EXPECT_EQ(LoadPadLibrary(""), kPadIncomplete) << name;
    EXPECT_EQ(PadDriverStatus(), kPadIncomplete);
    EXPECT_NE(PadLibraryError().find(name), std::string::npos) << PadLibraryError();
    // Not ready: asked again, it loads again and stays incomplete.
    EXPECT_FALSE(PadLibraryReady());
    EXPECT_EQ(scope.loader.opens, 2);
    // A failed load later leaves the status as it was.
    EXPECT_EQ(LoadPadLibrary(scope.folder.File("missing.so")), kPadNoLibrary);
    EXPECT_EQ(PadDriverStatus(), kPadIncomplete);
  }
  TScriptedPadScope complete;
  EXPECT_TRUE(PadLibraryReady());
  EXPECT_TRUE(PadLibraryReady());
  EXPECT_EQ(complete.loader.opens, 1);  // the library stays loaded for the run
}

// Our virtual pad through the registry and the system's loader: all 35 names are there.
TEST_F(PadBinding, VirtualPadBindsCompletely) {
  TRegistryTestRoot root;
  SetDriverFolder(root, TESSARO_PAD_DIR);
  EXPECT_EQ(LoadPadLibrary(""), kPadReady) << PadLibraryError();
  const TPadDriver& d = PadDriver();
  for (const void* call :
       {reinterpret_cast<const void*>(d.setLang), reinterpret_cast<const void*>(d.SetSignText),
        reinterpret_cast<const void*>(d.RegisterBigButtonHandler),
        reinterpret_cast<const void*>(d.RegisterSmallButtonHandler),
        reinterpret_cast<const void*>(d.clearBioData), reinterpret_cast<const void*>(d.startCapture),
        reinterpret_cast<const void*>(d.stopRead), reinterpret_cast<const void*>(d.getBioDataArray),
        reinterpret_cast<const void*>(d.getBioDataArrayItem),
        reinterpret_cast<const void*>(d.freeBioDataArray)})
    EXPECT_NE(call, nullptr);
  // Without a capture the virtual pad hands out no samples.
  void* handle = nullptr;
  EXPECT_EQ(d.getBioDataArray(&handle), 0);
  EXPECT_EQ(d.getBioDataArrayItem(handle, 0), nullptr);
  d.freeBioDataArray(handle);

  // The value may also be an expandable string.
  ResetPadLibrary();
  for (const auto& e : fs::recursive_directory_iterator(root.MachineRoot())) {
    if (e.path().filename() != "values.reg") continue;
    std::string text = ReadAllBytes(e.path().string());
    const size_t line = text.find("\nS\tdriver\t");
    ASSERT_NE(line, std::string::npos) << text;
    text[line + 1] = 'E';
    WriteAllBytes(e.path().string(), text);
  }
  EXPECT_EQ(LoadPadLibrary(""), kPadReady);
}

// ---- the frame -------------------------------------------------------------------------------

TEST(SigFrame, ShowsWhatTheDrawingDrew) {
  TSigFrame frame;
  const QImage blank = frame.Picture();
  EXPECT_EQ(blank.format(), QImage::Format_RGB888);
  EXPECT_EQ(blank.size(), QSize(kSigImageWidth, kSigImageHeight));
  EXPECT_TRUE(frame.Canvas().IsWhite());

  const TSignaturePoints points = {{1000, 1200, 90, 101}, {2200, 1900, 90, 100},
                                   {3000, 1400, 120, 100}, {1500, 2500, 60, 101},
                                   {2500, 2600, 60, 100}};
  frame.hide();
  frame.ShowSignature(points);
  EXPECT_FALSE(frame.isHidden());
  TSigCanvas expected(kSigImageWidth, kSigImageHeight);
  DrawSignature(expected, points);
  const QImage shown = frame.Picture();
  int dark = 0, differ = 0;
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x) {
      const std::uint8_t* p = expected.Pixel(x, y);
      if (shown.pixel(x, y) != qRgb(p[0], p[1], p[2])) ++differ;
      if (p[0] < 128) ++dark;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(dark, 100);
  EXPECT_EQ(frame.Image->pixmap().toImage().convertToFormat(QImage::Format_RGB888), shown);

  frame.Clear();
  EXPECT_TRUE(frame.Canvas().IsWhite());
  EXPECT_EQ(frame.Picture().pixel(0, 0), qRgb(255, 255, 255));
}

}  // namespace
