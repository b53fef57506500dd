// Person photos: what the photo store holds, in which form, and that the store follows the
// client whose data is open.
#include "data/ClientSessionUnit.h"
#include "views/PersonPhotoUnit.h"

#include <random>

#include <QImage>
#include <QLabel>

#include "app/FramesTestSupport.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/PictureUnit.h"
#include "data/BinDatabase.h"
#include "views/FramePersons2Unit.h"
#include "views/ViewsUnit.h"

namespace {

QImage Noise(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  std::mt19937 random(11);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) image.scanLine(y)[x] = static_cast<uchar>(random() & 0xC0);
  return image;
}

std::string StoredBytes(const std::string& file, int32_t id) {
  TBinDatabase store;
  std::string bytes;
  if (store.OpenSingle(file)) store.Get(id, bytes);
  return bytes;
}

struct PersonPhotos : TFramesTest {
  int32_t anna = 0;
  void SetUp() override {
    TFramesTest::SetUp();
    ClosePhotoDatabase();
    anna = Record(icPerson, "Anna");
  }
  void TearDown() override {
    ClosePhotoDatabase();
    TFramesTest::TearDown();
  }
  std::string StoreFile() { return dir.Dir() + kPersonPhotoFile; }
};

TEST_F(PersonPhotos, APhotoStoredBeforeScramblingStillShows) {
  std::string jpeg;
  ASSERT_TRUE(SaveBitmapAsJpeg(Noise(40, 30), 90, jpeg));
  ASSERT_EQ(jpeg.substr(6, 4), "JFIF");
  {
    TBinDatabase store;
    ASSERT_TRUE(store.OpenSingle(StoreFile()));
    int32_t id = anna;
    ASSERT_TRUE(store.Put(id, 0, jpeg));
  }
  QImage image;
  ASSERT_TRUE(ReadPersonPhoto(*a.db, anna, image));
  EXPECT_EQ(image.size(), QSize(40, 30));
}

TEST_F(PersonPhotos, APictureIsStoredScrambledAsALimitedJpegOfAtMost390) {
  const std::string png = dir.File("big.png");
  ASSERT_TRUE(Noise(800, 600).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(StorePersonPhotoFile(*a.db, anna, png), TPhotoStoreResult::Stored);

  const std::string stored = StoredBytes(StoreFile(), anna);
  ASSERT_GT(stored.size(), 10u);
  EXPECT_NE(stored.substr(6, 4), "JFIF") << "stored scrambled";
  EXPECT_NE(stored.substr(0, 2), "\xFF\xD8");
  const std::string jpeg = PhotoBytesAsJpeg(anna, stored);
  EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
  QImage image;
  ASSERT_TRUE(LoadJpegStringToBitmap(jpeg, image));
  EXPECT_EQ(image.width(), 390);
  EXPECT_LE(image.height(), 293);
  EXPECT_GE(image.height(), 292);
  EXPECT_LE(static_cast<int64_t>(jpeg.size()), PhotoSizeLimit(image.width(), image.height()));
  // Scrambled with the person's ID: another ID gives no JPEG.
  EXPECT_NE(PhotoBytesAsJpeg(anna + 1, stored).substr(0, 2), "\xFF\xD8");
}

TEST_F(PersonPhotos, AFileThatIsNoPictureChangesNothing) {
  TFramePersons2 view(nullptr);
  view.ShowRecord(anna);
  const std::string png = dir.File("small.png");
  ASSERT_TRUE(Noise(60, 40).save(QString::fromStdString(png), "PNG"));
  view.ChoosePhotoFile = [&] { return png; };
  view.AddPhoto1Click();
  ASSERT_TRUE(ui.messages.empty()) << ui.AllText();
  const std::string before = ReadAllBytes(StoreFile());
  EXPECT_NE(view.PhotoThumb->pixmap().toImage(), view.PhotoThumbNoImg.toImage());

  for (const std::string& name : {std::string("broken.jpg"), std::string("notes.png")}) {
    WriteAllBytes(dir.File(name), "\xFF\xD8 this is no picture at all");
    view.ChoosePhotoFile = [&] { return dir.File(name); };
    ui.Clear();
    view.AddPhoto1Click();
    ASSERT_EQ(ui.messages.size(), 1u) << name;
    EXPECT_NE(ui.messages[0].text.find("Das Bild konnte nicht ge\xF6" "ffnet werden."),
              std::string::npos);
    EXPECT_EQ(ReadAllBytes(StoreFile()), before) << name;
  }
  QImage image;
  EXPECT_TRUE(ReadPersonPhoto(*a.db, anna, image));
  EXPECT_EQ(image.size(), QSize(60, 40));
}

TEST_F(PersonPhotos, AfterLogoutASecondClientGetsItsOwnStore) {
  ResetMainFormRegistries();
  RegisterViews();  // the hook that closes the photos with the client's data
  const std::string png = dir.File("anna.png");
  ASSERT_TRUE(Noise(50, 50).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(StorePersonPhotoFile(*a.db, anna, png), TPhotoStoreResult::Stored);
  EXPECT_EQ(PhotoStoreFolder(), dir.Dir());
  const std::string clientA = ReadAllBytes(StoreFile());

  ASSERT_TRUE(DoLogout(nullptr));
  EXPECT_EQ(PhotoStoreFolder(), "") << "closed with the client's data";

  // Client B: the same person ID, no photo of its own.
  TTempDir other;
  TStation b{"A"};
  ASSERT_TRUE(b.Open(other));
  const int32_t bert = b->NewNamedRecord(icPerson, "Bert", "");
  ASSERT_EQ(bert, anna);
  ASSERT_TRUE(b->Commit());
  ClientSession().LendStore(b.db.get());
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  TFramePersons2 view(nullptr);
  view.ShowRecord(bert);
  EXPECT_EQ(view.PhotoThumb->pixmap().toImage(), view.PhotoThumbNoImg.toImage())
      << "client A's photo is not B's";
  view.ChoosePhotoFile = [&] { return png; };
  view.AddPhoto1Click();
  EXPECT_EQ(PhotoStoreFolder(), other.Dir());
  EXPECT_FALSE(StoredBytes(other.Dir() + kPersonPhotoFile, bert).empty());
  EXPECT_EQ(ReadAllBytes(StoreFile()), clientA) << "client A's store untouched";

  // Without a logout between, a store of another data folder is opened afresh too.
  QImage image;
  EXPECT_TRUE(ReadPersonPhoto(*a.db, anna, image));
  EXPECT_EQ(PhotoStoreFolder(), dir.Dir());
  ResetMainFormRegistries();
}

TEST_F(PersonPhotos, DeletingThePersonRemovesThePhoto) {
  const std::string png = dir.File("anna.png");
  ASSERT_TRUE(Noise(50, 50).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(StorePersonPhotoFile(*a.db, anna, png), TPhotoStoreResult::Stored);
  TFramePersons2 view(nullptr);
  view.ShowRecord(anna);
  ui.answers = {mrYes};
  view.KillBtnClick();
  EXPECT_FALSE(a->IsValid(anna));
  EXPECT_TRUE(StoredBytes(StoreFile(), anna).empty());
}

}  // namespace
