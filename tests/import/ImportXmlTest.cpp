// The XML locking-plan import: both dialects written by the test, a check pass that leaves
// the store as it was, a re-import that keeps the totals, and a refusal while another
// station holds a record.

#include "import/ImportXmlUnit.h"

#include <gtest/gtest.h>

#include <string>

#include "basic/DateClock.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/XmlUnit.h"

namespace {

const char kDorider[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<dorider>\r\n"
    " <Zylinder>\r\n"
    "  <Schliessung><Sortierung>7</Sortierung><SchluesselNummer>Z 1</SchluesselNummer>"
    "<Zylinderanzahl>2</Zylinderanzahl><Bemerkung_1>DZ 30/35</Bemerkung_1>"
    "<TuerNr>B&amp;K 1.01</TuerNr><Raumbezeichnung>B\xC3\xBCro</Raumbezeichnung></Schliessung>\r\n"
    "  <Schliessung><SchluesselNummer>Z 2</SchluesselNummer><Zylinderanzahl>1</Zylinderanzahl>"
    "<Raumbezeichnung>Lager</Raumbezeichnung></Schliessung>\r\n"
    "  <Schliessung><SchluesselNummer>Z 3</SchluesselNummer><Zylinderanzahl>1</Zylinderanzahl>"
    "</Schliessung>\r\n"
    "  <Schliessung><SchluesselNummer>Z 4</SchluesselNummer><Zylinderanzahl>0</Zylinderanzahl>"
    "</Schliessung>\r\n"
    " </Zylinder>\r\n"
    " <Schluessel>\r\n"
    "  <Einzelschluessel><SchluesselNummer>Z 1</SchluesselNummer><Anzahl>3</Anzahl>"
    "</Einzelschluessel>\r\n"
    "  <Gruppenschluessel><SchluesselNummer>GS A</SchluesselNummer><Anzahl>4</Anzahl>"
    "</Gruppenschluessel>\r\n"
    " </Schluessel>\r\n"
    " <Funktion>\r\n"
    "  <Funktion><SchluesselNummer_Aus>GS A</SchluesselNummer_Aus>"
    "<SchluesselNummer_In>Z 2</SchluesselNummer_In></Funktion>\r\n"
    "  <Funktion><SchluesselNummer_Aus>GS A</SchluesselNummer_Aus>"
    "<SchluesselNummer_In>unbekannt</SchluesselNummer_In></Funktion>\r\n"
    " </Funktion>\r\n"
    "</dorider>\r\n";

const char kZer[] =
    "<?xml version=\"1.0\"?>"
    "<ExportByZerUdaravu><Cylinders>"
    "<Cylinder><PositionNumber>1</PositionNumber><ShortDescription>C-1</ShortDescription>"
    "<Pieces>1</Pieces><DoorDescription>Eingang</DoorDescription></Cylinder>"
    "</Cylinders><Keys>"
    "<Key><ShortDescription>K-1</ShortDescription><Pieces>2</Pieces></Key>"
    "</Keys><Locks>"
    "<Lock><KeyPositionNumber>K-1</KeyPositionNumber>"
    "<CylinderPositionNumber>C-1</CylinderPositionNumber></Lock>"
    "<Lock><KeyPositionNumber>K-2</KeyPositionNumber>"
    "<CylinderPositionNumber>C-2</CylinderPositionNumber></Lock>"
    "</Locks></ExportByZerUdaravu>";

struct XmlImport : ::testing::Test {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 0)};
  TClockScope clockScope{clock};
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  int32_t oldDoor = 0;

  void SetUp() override {
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    oldDoor = a->NewNamedRecord(icDoor, "Lager", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  int32_t Find(int cls, const std::string& name) { return a->FindByName(name, cls, 0); }
};

}  // namespace

TEST(XmlImportNames, DialectsAndTheirElementNames) {
  const struct {
    const char* xml;
    int dialect;
  } cases[] = {{"<?xml?><dorider a=\"1\"/>", xdDorider},
               {"<?xml?><ExportByZerUdaravu a=\"1\"/>", xdZerUdaravu},
               {"<?xml?><Dorider a=\"1\"/>", xdUnknown},
               {"<?xml?><plan a=\"1\"/>", xdUnknown}};
  for (const auto& c : cases) {
    TMerivanXmlFile xml;
    ASSERT_TRUE(xml.XmlParseText(c.xml));
    EXPECT_EQ(GetXmlDialect(xml.XmlDocumentElement()), c.dialect) << c.xml;
  }
  EXPECT_EQ(GetXmlDialect(nullptr), xdUnknown);
  const TXmlElementNames& d = XmlElementNames(xdDorider);
  const TXmlElementNames& z = XmlElementNames(xdZerUdaravu);
  EXPECT_EQ(d.e[2], "Schliessung");
  EXPECT_EQ(d.e[17], "Funktion");
  EXPECT_EQ(d.GroupKeyType(), 2);
  EXPECT_TRUE(d.LockViaKey());
  EXPECT_EQ(z.e[19], "CylinderPositionNumber");
  EXPECT_EQ(z.e[12], "");
  EXPECT_EQ(z.GroupKeyType(), 0);
  EXPECT_FALSE(z.LockViaKey());
}

TEST_F(XmlImport, DoriderPlan) {
  ASSERT_TRUE(ImportXmlBytes(*a.db, kDorider, 3));
  const int32_t z1 = Find(icCylinder, "Z 1");
  const int32_t z2 = Find(icCylinder, "Z 2");
  const int32_t z3 = Find(icCylinder, "Z 3");
  ASSERT_TRUE(z1 && z2 && z3);
  EXPECT_EQ(Find(icCylinder, "Z 4"), 0);  // count 0
  EXPECT_EQ(a->ReadLineField(z1, "ks"), "3");
  EXPECT_EQ(a->ReadLineField(z1, "ccnt"), "2");
  EXPECT_EQ(a->ReadLineField(z1, "ctyp"), "DZ 30/35");
  const int32_t door = Find(icDoor, "B&K 1.01");
  ASSERT_NE(door, 0);
  EXPECT_EQ(a->ReadLineField(door, "rom"), "B\xFCro");
  EXPECT_EQ(a->ReadLineField(door, "pos"), "7");
  EXPECT_TRUE(a->ReadHasLink(door, icCylinder, z1));
  // The room names the door when there is no door name; an existing door is taken.
  EXPECT_TRUE(a->ReadHasLink(oldDoor, icCylinder, z2));
  EXPECT_EQ(a->ReadLinkCount(z3, icDoor), 0);
  // The key named like the cylinder locks it; single keys have type 1, group keys 2.
  const int32_t single = Find(icKey, "Z 1");
  const int32_t group = Find(icKey, "GS A");
  ASSERT_TRUE(single && group);
  EXPECT_TRUE(a->ReadHasLink(z1, icKey, single));
  EXPECT_EQ(a->ReadLineField(single, "kt"), "1");
  EXPECT_EQ(a->ReadLineField(single, "total"), "3");
  EXPECT_EQ(a->ReadLineField(single, "cnt"), "3");
  EXPECT_EQ(a->ReadLineField(group, "kt"), "2");
  // A locking names its cylinder through the key of that name.
  const int32_t viaKey = Find(icKey, "Z 2");
  ASSERT_NE(viaKey, 0);
  EXPECT_TRUE(a->ReadHasLink(z2, icKey, group));
  EXPECT_EQ(Find(icKey, "unbekannt"), 0);
  EXPECT_NE(ui.AllText().find("Die Datei wurde verarbeitet."), std::string::npos);

  // Imported again: the totals are those of the file, not twice them.
  ASSERT_TRUE(ImportXmlBytes(*a.db, kDorider, 3));
  EXPECT_EQ(a->ReadLineField(single, "total"), "3");
  EXPECT_EQ(a->ReadLineField(z1, "ccnt"), "2");
  EXPECT_EQ(Find(icCylinder, "Z 1"), z1);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(single, "total"), "3");
}

TEST_F(XmlImport, EnglishPlanWithoutKeyTypes) {
  ASSERT_TRUE(ImportXmlBytes(*a.db, kZer, 1));
  const int32_t cyl = Find(icCylinder, "C-1");
  const int32_t key = Find(icKey, "K-1");
  ASSERT_TRUE(cyl && key);
  EXPECT_EQ(a->ReadLineField(key, "kt"), "");
  EXPECT_TRUE(a->ReadHasLink(cyl, icKey, key));
  // The locking's missing cylinder and key are created by the import pass.
  const int32_t c2 = Find(icCylinder, "C-2");
  const int32_t k2 = Find(icKey, "K-2");
  ASSERT_TRUE(c2 && k2);
  EXPECT_TRUE(a->ReadHasLink(c2, icKey, k2));
  EXPECT_TRUE(a->ReadHasLink(Find(icDoor, "Eingang"), icCylinder, cyl));
}

TEST_F(XmlImport, CheckPassChangesNothing) {
  const std::string before = File();
  const int32_t last = a->LastID;
  for (const char* xml : {kDorider, kZer}) {
    TMerivanXmlFile file;
    ASSERT_TRUE(file.XmlParseText(xml));
    TXmlImportCount count;
    ASSERT_TRUE(RunXmlImport(*a.db, file.XmlDocumentElement(), true, 1, count));
    EXPECT_GT(count.Total(), 0);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(a->LastID, last);
    EXPECT_FALSE(a->Modified);
  }
}

TEST_F(XmlImport, BadFilesChangeNothing) {
  const std::string before = File();
  const struct {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"  \r\n\r\n  <?xml version=\"1.0\"?><dorider/>", "Ladefehler!"},
      {"<dorider><Zylinder/></dorider>", "Ladefehler!"},
      {"<?xml version=\"1.0\"?><plan><x>1</x></plan>", "Bitte senden Sie Ihre XML-Datei"},
      {"<?xml version=\"1.0\"?><dorider><Zylinder><Schliessung><Zylinderanzahl>1"
       "</Zylinderanzahl></Schliessung></Zylinder></dorider>",
       "keine Zylinder"},
  };
  for (const auto& c : cases) {
    ui.Clear();
    EXPECT_FALSE(ImportXmlBytes(*a.db, c.bytes, 1)) << c.bytes;
    EXPECT_NE(ui.AllText().find(c.message), std::string::npos) << ui.AllText();
    EXPECT_EQ(ui.AllText().find("verarbeitet"), std::string::npos);
    EXPECT_EQ(File(), before);
  }
  // A byte-order mark may stand before the declaration.
  EXPECT_TRUE(ImportXmlBytes(*a.db, "\xEF\xBB\xBF" + std::string(kZer), 1));
}

TEST_F(XmlImport, RefusedWhileAnotherStationHoldsARecord) {
  ASSERT_TRUE(b->LockItem(oldDoor, false, 0));
  const std::string before = File();
  EXPECT_FALSE(ImportXmlBytes(*a.db, kDorider, 1));
  ASSERT_GE(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, MultiItemsDBTextFmt(9, "B"));
  EXPECT_NE(ui.AllText().find("Die XML-Datei wurde nicht importiert."), std::string::npos);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Find(icCylinder, "Z 1"), 0);
}
