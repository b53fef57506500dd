#include "data/RecordSearchUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/UnitTR100.h"
#include "DomainFixture.h"
#include "support/TestSupport.h"

namespace {

struct TRecordSearchTest : ::testing::Test {
  TTempDir dir;
  TScopedRecorder ui;
  TDomainStore store{dir};
};

}  // namespace

TEST_F(TRecordSearchTest, FindsInLowerCaseOncePerRecordInClassOrder) {
  const int32_t door = store.Add(icDoor, "T\xFCr 1");
  store->SetField(door, "rom", "GER\xC4TERAUM Nord");  // "GERÄTERAUM"
  store->SetField(door, "romn", "0815");
  const int32_t cyl = store.Add(icCylinder, "Z1");
  store->SetField(cyl, "len", "30/35");
  const int32_t key = store.Add(icKey, "Ger\xE4teschl\xFCssel");
  store->SetField(key, "r", "f\xFCr das Ger\xE4tehaus");  // twice in one record
  const int32_t person = store.Add(icPerson, "");         // no name: not searched
  store->SetField(person, "Abt", "Ger\xE4te");
  const int32_t gone = store.Add(icDoor, "Ger\xE4t alt");
  store->MarkDeleted(gone);
  store->Commit();

  const std::string term = FindTermOf("  GER\xC4T ");
  EXPECT_EQ(term, "ger\xE4t");
  std::vector<TFindHit> hits = FindRecords(*store, term);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].id, door);  // doors before keys
  EXPECT_EQ(hits[0].classWord, CoreText(3));
  EXPECT_EQ(hits[0].name, "T\xFCr 1");
  // "Tür 1  0815  GERÄTERAUM Nord  ": the hit at 13, the excerpt from 1 (13 - 15 < 1).
  EXPECT_EQ(hits[0].excerpt, std::string("T\xFCr 1  0815  GER\xC4TERAUM Nord  ").substr(0, 35));
  EXPECT_EQ(hits[1].id, key);
  EXPECT_EQ(hits[1].classWord, KeyCaption());

  // A term only in a cylinder's length lists the cylinder with its class word.
  hits = FindRecords(*store, FindTermOf("30/35"));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].id, cyl);
  EXPECT_EQ(hits[0].classWord, CylinderCaption());
  EXPECT_TRUE(FindRecords(*store, FindTermOf("   ")).empty());
}

TEST(RecordSearchTexts, ExcerptStartsFifteenBeforeTheHit) {
  const std::string text = std::string(40, '.') + "HIT" + std::string(40, '-');
  EXPECT_EQ(FindExcerpt(text, 41, 3), std::string(15, '.') + "HIT" + std::string(30 - 15, '-'));
  EXPECT_EQ(FindExcerpt("abc", 2, 1), "abc");
  EXPECT_EQ(FindExcerpt("abc", 30, 1), "");
}

TEST(RecordSearchTexts, PickerIdsLineUp) {
  struct Case {
    int32_t id;
    std::string text;
  } cases[] = {{7, "    7"}, {42, "  42"}, {123, "123"}, {1234, "1234"}};
  for (const Case& c : cases) EXPECT_EQ(PickerIdText(c.id), c.text);
}
