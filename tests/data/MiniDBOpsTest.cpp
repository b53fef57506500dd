// Record store operations on one station: fields, names, links, copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "MiniDBTestSupport.h"
#include "basic/ValueString.h"

namespace {

void PersonName(const TMiniDB&, int32_t, const TQStringList& fields, uint8_t style,
                std::string& text) {
  text = UnscrambleStr(fields.ValueOf("n2")) + ", " + UnscrambleStr(fields.ValueOf("n")) +
         (style == 9 ? "" : "?");
}

std::vector<int32_t> Ids(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

}  // namespace

TEST(MiniDBOps, SetFieldToEmptyRemovesTheFieldAndRebuildsNames) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewNamedRecord(2, "Haus", "Nord");
  EXPECT_EQ(a->GetDisplayName(id), "Haus");
  EXPECT_EQ(a->FindByName("  haus ", 2, 0), id);
  a->SetField(id, "n", "");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(a->GetRecordText(id), "i=1,c=2,n2=" + ScrambleStr("Nord"));
  EXPECT_EQ(a->GetDisplayName(id), "");
  EXPECT_EQ(a->FindByName("Haus", 2, 0), 0);
}

TEST(MiniDBOps, FieldSettersAndGetters) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewRecord(4);
  a->SetFieldIfGiven(id, "r", "");
  EXPECT_EQ(a->GetRemark(id), "");
  a->SetFieldIfEmpty(id, "r", "one");
  a->SetFieldIfEmpty(id, "r", "two");
  EXPECT_EQ(a->GetRemark(id), "one");
  a->SetKeySystem(id, 7);
  EXPECT_EQ(a->GetKeySystem(id), 7);
  a->SetKeySystem(id, -3);
  EXPECT_EQ(a->GetKeySystem(id), 0);
  EXPECT_EQ(a->GetKeySystemRaw(id), 0);
  a->SetKeySystem(id, 0);
  EXPECT_EQ(a->GetField(id, "ks"), "");
  a->SetField(id, "v", "0");
  EXPECT_FALSE(a->IsValid(id));
  EXPECT_EQ(a->GetValidName(id), "");
  a->DeleteField(id, "v");
  EXPECT_TRUE(a->IsValid(id));
  a->SetField(id, "i", "99");  // the ID is not a field one can set
  EXPECT_EQ(a->GetField(id, "i"), "1");
  a->SetIniValue(id, "Width", "300");
  a->SetIniValue(id, "Mode", "a,b");
  EXPECT_EQ(a->GetIniText(id, "width"), "300");
  EXPECT_EQ(a->GetIniText(id, "Mode"), "a,b");
  // ID 0 means the settings record, made when first written.
  EXPECT_EQ(a->GetIniText(0, "X"), "");
  EXPECT_EQ(a->FindOrCreateSingleton(false), 0);
  a->SetIniValue(0, "X", "1");
  int32_t settings = a->FindOrCreateSingleton(false);
  EXPECT_GT(settings, 0);
  EXPECT_EQ(a->GetClass(settings), 12);
  EXPECT_EQ(a->GetIniText(0, "X"), "1");
  EXPECT_FALSE(a->GetGUID(settings).empty());
  ASSERT_TRUE(a->Commit());
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  EXPECT_EQ(b->GetIniText(0, "X"), "1");
  EXPECT_EQ(b->GetIniText(id, "Mode"), "a,b");
}

TEST(MiniDBOps, PutRecordTextNeedsAClassInRange) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewNamedRecord(3, "Tor", "");
  const std::string before = a->GetRecordText(id);
  EXPECT_FALSE(a->PutRecordText(id, "i=1,c=0,n=x"));
  EXPECT_FALSE(a->PutRecordText(id, "i=1,c=256,n=x"));
  EXPECT_FALSE(a->PutRecordText(50, "c=256"));
  EXPECT_EQ(a->GetRecordText(id), before);
  EXPECT_FALSE(a->HasRecord(50));
  // A valid text replaces all fields, forces the ID and creates a missing record.
  EXPECT_TRUE(a->PutRecordText(id, "i=77,c=4,v=0,n=" + ScrambleStr("Neu")));
  EXPECT_EQ(a->GetRecordText(id), "i=1,c=4,v=0,n=" + ScrambleStr("Neu"));
  EXPECT_EQ(a->GetClass(id), 4);
  EXPECT_FALSE(a->IsValid(id));
  EXPECT_TRUE(a->PutRecordText(9, "c=5,n=" + ScrambleStr("P")));
  EXPECT_EQ(a->GetClass(9), 5);
  EXPECT_EQ(a->LastID, 9);
  EXPECT_EQ(a->GetDisplayName(9), "P");
}

TEST(MiniDBOps, NewRecordAfterADeletionNeverReusesAnID) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t first = a->NewRecord(3);
  int32_t second = a->NewRecord(3);
  ASSERT_TRUE(a->MarkDeleted(second));
  EXPECT_FALSE(a->IsValid(second));
  EXPECT_EQ(a->GetField(second, "v"), "0");
  int32_t third = a->NewRecord(3);
  EXPECT_EQ(third, second + 1);
  EXPECT_GT(third, first);
  EXPECT_EQ(a->CountClass(3), 2);
}

TEST(MiniDBOps, SameLinks) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t x = a->NewRecord(4), y = a->NewRecord(4), z = a->NewRecord(4);
  a->SetField(x, "l3", "3;1;2");
  a->SetField(y, "l3", "1;2;3");
  a->SetField(z, "l3", "1;1");
  EXPECT_TRUE(a->SameLinks(x, y, 3));
  EXPECT_FALSE(a->SameLinks(x, z, 3));
  a->SetField(y, "l3", "1");
  EXPECT_FALSE(a->SameLinks(z, y, 3));
  EXPECT_TRUE(a->SameLinks(x, x, 9));
}

TEST(MiniDBOps, LinkListsAndValues) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewRecord(3), key = a->NewRecord(4), key2 = a->NewRecord(4);
  a->AddLinkBoth(door, key, 4, 3);
  a->AddLinkBoth(door, key, 4, 3);  // not twice
  a->AddLinkBoth(door, key2, 4, 3);
  a->AddLink(door, door, 4);        // never to itself
  EXPECT_EQ(a->GetLinkText(door, 4), "2;3");
  // Records made in the same write go on the end of the list in one field write.
  const int32_t key3 = a->NewRecord(4), key4 = a->NewRecord(4);
  a->AddNewLinks(door, {key3, key4}, 4);
  a->AddNewLinks(door, {}, 4);
  EXPECT_EQ(a->GetLinkText(door, 4), "2;3;4;5");
  a->RemoveLinkBoth(door, key3, 4, 3);
  a->RemoveLinkBoth(door, key4, 4, 3);
  EXPECT_EQ(a->GetFirstLink(door, 4), key);
  EXPECT_EQ(a->GetOnlyLink(door, 4), 0);
  EXPECT_EQ(a->GetOnlyLink(key, 3), door);
  EXPECT_EQ(a->CountValidLinks(door, 4), 2);
  EXPECT_TRUE(a->HasLink(door, 4, key2));
  a->SetLinkValue(door, key, "pos", "oben, links");
  EXPECT_EQ(a->GetLinkValue(door, key, "pos"), "oben, links");
  a->SetField(door, "l4", "2;x;3");
  TItemList list;
  a->GetLinks(door, 4, list);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{2, 3}));
  a->RemoveLinkBoth(door, key, 4, 3);
  EXPECT_EQ(a->GetLinkText(door, 4), "x;3");
  EXPECT_EQ(a->GetLinkText(key, 3), "");
  EXPECT_EQ(a->GetLinkValue(door, key, "pos"), "");
  EXPECT_EQ(a->GetField(door, "o2"), "");
}

TEST(MiniDBOps, SetLinksMakesBothSidesEqualTheWantedList) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t group = a->NewRecord(7);
  int32_t k1 = a->NewRecord(4), k2 = a->NewRecord(4), k3 = a->NewRecord(4);
  a->AddLinkBoth(group, k1, 4, 7);
  a->AddLinkBoth(group, k2, 4, 7);
  TItemList wanted;
  wanted.Add(k2);
  wanted.Add(k3);
  std::string blocking;
  ASSERT_TRUE(a->SetLinks(group, 7, blocking, false, wanted, 4));
  EXPECT_EQ(blocking, "");
  EXPECT_EQ(a->GetLinkText(group, 4), "3;4");
  EXPECT_EQ(a->GetLinkText(k1, 7), "");
  EXPECT_EQ(a->GetLinkText(k3, 7), "1");
  EXPECT_FALSE(a->Modified);  // saved before the locks were given back
  EXPECT_EQ(a->ItemsLock->OwnEntry(), "");
  EXPECT_FALSE(a->SetLinks(999, 7, blocking, false, wanted, 4));
  EXPECT_EQ(blocking, "[No Dataset]");
}

TEST(MiniDBOps, ReplaceLink) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewRecord(3), c1 = a->NewRecord(6), c2 = a->NewRecord(6);
  a->AddLinkBoth(door, c1, 6, 3);
  EXPECT_TRUE(a->ReplaceLink(door, c1, -1, 6, 3));  // already the only one
  EXPECT_TRUE(a->ReplaceLink(door, c2, -1, 6, 3));
  EXPECT_EQ(a->GetLinkText(door, 6), std::to_string(c2));
  EXPECT_EQ(a->GetLinkText(c1, 3), "");
  EXPECT_EQ(a->GetLinkText(c2, 3), std::to_string(door));
}

TEST(MiniDBOps, DuplicateCylinderWithoutDoors) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t cyl = a->NewNamedRecord(6, "Z 12", "");
  int32_t door = a->NewRecord(3), key = a->NewRecord(4), person = a->NewRecord(5);
  a->AddLinkBoth(cyl, door, 3, 6);
  a->AddLinkBoth(cyl, key, 4, 6);
  a->AddLinkBoth(cyl, person, 5, 6);
  a->SetField(cyl, "extID", "E1");
  a->SetField(cyl, "len", "30/35");
  a->GetGUID(cyl);
  ASSERT_TRUE(a->Commit());
  int32_t copy = a->DuplicateRecord(cyl, true, false, false);
  ASSERT_GT(copy, 0);
  EXPECT_EQ(a->GetName(copy), "Z 12 *Kopie*");
  EXPECT_EQ(a->GetField(copy, "len"), "30/35");
  EXPECT_EQ(a->GetField(copy, "extID"), "");
  EXPECT_EQ(a->GetField(copy, "GUID"), "");
  EXPECT_EQ(a->GetLinkText(copy, 3), "");  // no doors
  EXPECT_EQ(a->GetLinkText(copy, 5), "");  // no persons
  EXPECT_EQ(a->GetLinkText(copy, 4), std::to_string(key));
  EXPECT_TRUE(a->HasLink(key, 6, copy));
  EXPECT_FALSE(a->HasLink(door, 6, copy));
  int32_t full = a->DuplicateRecord(cyl, false, true, true);
  EXPECT_EQ(a->GetName(full), "Z 12");
  EXPECT_TRUE(a->HasLink(door, 6, full));
  EXPECT_TRUE(a->HasLink(person, 6, full));
  EXPECT_FALSE(a->Modified);
}

TEST(MiniDBOps, SplitRecordsAndGroups) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t mother = a->NewNamedRecord(4, "K1", "");
  int32_t cabinet = a->NewRecord(8);
  a->AddLinkBoth(mother, cabinet, 8, 4);
  int32_t d1 = a->DuplicateLinked(mother);
  int32_t d2 = a->DuplicateLinked(mother);
  EXPECT_EQ(a->GetClass10Link(d1), mother);
  EXPECT_EQ(a->GetLinkText(mother, 11), std::to_string(d1) + ";" + std::to_string(d2));
  EXPECT_TRUE(a->HasLink(cabinet, 4, d2));
  TItemList group;
  a->GetGroupOf(d2, group);
  EXPECT_EQ(Ids(group), (std::vector<int32_t>{mother, d1, d2}));
  a->GetGroupOf(mother, group);
  EXPECT_EQ(group.Count(), 3);
}

TEST(MiniDBOps, NameCallbacksAndLists) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t p1 = a->NewNamedRecord(5, "Anna", "Berg");
  int32_t p2 = a->NewNamedRecord(5, "Carl", "Dorn");
  int32_t gone = a->NewNamedRecord(5, "Emil", "Fink");
  a->MarkDeleted(gone);
  a->SetNameFunc(5, PersonName);
  EXPECT_EQ(a->GetDisplayName(p1), "Berg, Anna");
  std::string text;
  ASSERT_TRUE(a->BuildDisplayName(p2, true, text, 1));
  EXPECT_EQ(text, "Dorn, Carl?");
  EXPECT_FALSE(a->BuildDisplayName(gone, true, text, 9));
  EXPECT_EQ(a->GetValidDisplayName(gone), "");
  a->SetField(p1, "n2", "Brandt");
  EXPECT_EQ(a->GetDisplayName(p1), "Brandt, Anna");
  TQStringList list;
  a->FillStringsByClass(list, 5);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(1), "Dorn, Carl");
  EXPECT_EQ(list.GetObject(1), p2);
  TItemList all;
  a->ListAll(all, true);
  EXPECT_EQ(all.Count(), 2);
  a->ListAll(all, false);
  EXPECT_EQ(all.Count(), 3);
}

TEST(MiniDBOps, ImportAndCopyRecord) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  std::string text = "i=5,c=5,GUID=x,l4=9,n=" + ScrambleStr("Neu") + ",r=" + ScrambleStr("R");
  int32_t id = a->ImportRecord(5, "G-1", text);
  ASSERT_GT(id, 0);
  EXPECT_EQ(a->GetGUID(id), "G-1");
  EXPECT_EQ(a->GetName(id), "Neu");
  EXPECT_EQ(a->GetLinkText(id, 4), "");  // links are not copied in
  EXPECT_EQ(a->ImportRecord(5, "G-1", "n=" + ScrambleStr("Neuer")), id);
  EXPECT_EQ(a->GetName(id), "Neuer");
  EXPECT_EQ(a->GetRemark(id), "");
  EXPECT_FALSE(a->Modified);
}

TEST(MiniDBOps, LockedMessages) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  a->ShowLockedMessage("pc7@@1A2B", true);
  a->ShowLockedMessage("*", false);
  a->ShowExclusiveDenied("pc9@@77");
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].text, "Das Speichern wurde abgewiesen.\rEin betreffender Datensatz "
                                 "wird gerade am Arbeitsplatz pc7 ge\xE4ndert.\r\rBitte "
                                 "versuchen Sie es sp\xE4ter nochmal.");
  EXPECT_EQ(ui.messages[1].text, "Die Bearbeitung wurde abgewiesen.\rEs konnte kein "
                                 "Schreibzugriff reserviert werden.\r\rBitte versuchen Sie "
                                 "es sp\xE4ter nochmal.");
  EXPECT_EQ(ui.messages[2].text, "Es konnte kein exklusiver Datenbankzugriff reserviert "
                                 "werden.\rWarten Sie bis die Eingabe am Arbeitsplatz pc9 "
                                 "beendet wurde.");
  EXPECT_EQ(MultiItemsDBText(0), "");
  EXPECT_EQ(MultiItemsDBText(kMultiItemsDBCount), "");
}

TEST(MiniDBOps, EditLocksBetweenStations) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("pcB@@9");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewRecord(4);
  ASSERT_TRUE(b.Open(dir));
  ASSERT_TRUE(a->LockItem(id, true, -1));
  EXPECT_FALSE(b->LockItem(id, true, -1));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("Arbeitsplatz A "), std::string::npos);
  // A nested operation gives back only the locks it took: A still holds its record.
  int32_t other = a->NewRecord(3);
  a->AddLinkBoth(id, other, 3, 4);
  TItemList wanted;
  wanted.Add(other);
  std::string blocking;
  ASSERT_TRUE(a->SetLinks(id, 4, blocking, false, wanted, 3));
  EXPECT_FALSE(b->LockItem(id, false, -1));
  a->SetField(id, "r", "edited");
  ASSERT_TRUE(a->UnlockItem(id));
  EXPECT_TRUE(b->LockItem(id, false, -1));
  EXPECT_EQ(b->Load(), ldRead);
  EXPECT_EQ(b->GetRemark(id), "edited");
}

// The change counter moves with every load and every change, and never back to a value
// that another state of any store had: a cache built on one value is stale exactly when it
// differs.
TEST(MiniDBOps, TheChangeCounterMovesWithEveryLoadAndChange) {
  TTempDir dir;
  TStation a("A");
  TStation b("B");
  ASSERT_TRUE(a.Open(dir));
  const int32_t id = a->NewNamedRecord(2, "Haus", "");
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b.Open(dir));
  std::vector<uint64_t> seen{a->ChangeCount(), b->ChangeCount()};
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"field of the record being edited", [&] { a->SetField(id, "r", "x"); }},
      {"stored and saved", [&] { ASSERT_TRUE(a->Commit()); }},
      {"validity", [&] { a->SetField(id, "v", "0"); }},
      {"whole record", [&] { a->PutRecordText(id, "c=2,n=" + ScrambleStr("Hof")); }},
      {"new record", [&] { a->NewRecord(3); }},
      {"header", [&] { ASSERT_TRUE(a->SetHeaderValue("Probe", "1")); }},
      {"reread of another station's save", [&] {
         b->SetField(id, "r", "y");
         ASSERT_TRUE(b->Commit());
         ASSERT_EQ(a->Load(), ldRead);
       }},
  };
  for (const auto& c : cases) {
    c.change();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), a->ChangeCount()), 0) << c.what;
    seen.push_back(a->ChangeCount());
  }
  // Reading changes nothing.
  const uint64_t now = a->ChangeCount();
  TItemList list;
  a->ReadLinks(id, 3, list);
  a->ReadLineField(id, "r");
  a->ListClass(2, list);
  EXPECT_EQ(a->Load(), ldUnchanged);
  EXPECT_EQ(a->ChangeCount(), now);
}
