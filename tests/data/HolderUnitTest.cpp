// Holder lines: the codec, the line selection and the booking rules on plain text, then
// the store-bound readers, the booking into a key and the link repair.

#include "data/HolderUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/ValueString.h"

namespace {

const TPackedDate kToday = PackDate(2024, 6, 10);

std::vector<std::string> Lines(const std::string& own) { return SplitHolderLines(own); }

// ---------------------------------------------------------------------------------------
// Codec

TEST(HolderLineCodec, PrefixParseAndBuildRoundTrip) {
  EXPECT_EQ(HolderLinePrefix({okPerson, 17}), "E17");
  EXPECT_EQ(HolderLinePrefix({okSupplier, 0}), "B0");
  EXPECT_EQ(HolderLinePrefix({okKeyBunch, 3}), "H3");

  THolderFields f = ParseHolderLine("2|2024-03-05||a, b/c|0007|K1|J-9|10:11:12|8");
  EXPECT_EQ(f[hfCount], "2");
  EXPECT_EQ(f[hfFirstDate], "2024-03-05");
  EXPECT_EQ(f[hfDeadline], "");
  EXPECT_EQ(f[hfRemark], "a, b/c");
  EXPECT_EQ(f[hfReceiptNo], "0007");
  EXPECT_EQ(f[hfIdentifier], "K1");
  EXPECT_EQ(f[hfSignatureRef], "J-9");
  EXPECT_EQ(f[hfTime], "10:11:12");
  EXPECT_EQ(f[hfCabinet], "8");
  EXPECT_EQ(BuildHolderLine("E17", f), "E17=2|2024-03-05||a, b/c|0007|K1|J-9|10:11:12|8");

  // Trailing empty fields are not written; inner empty ones are.
  THolderFields g{};
  g[hfCount] = "2";
  g[hfFirstDate] = "2024-03-05";
  EXPECT_EQ(BuildHolderLine("E17", g), "E17=2|2024-03-05");
  g[hfIdentifier] = "X";
  EXPECT_EQ(BuildHolderLine("E17", g), "E17=2|2024-03-05||||X");

  // A line with more "|" than fields (an older program's) reads and writes back unchanged.
  const std::string odd = "1|2024-01-01||||A|B|sig|10:00|3";
  EXPECT_EQ(BuildHolderLine("E1", ParseHolderLine(odd)), "E1=" + odd);
  EXPECT_EQ(ParseHolderLine(odd)[hfCabinet], "10:00|3");

  EXPECT_EQ(CleanHolderFieldText("a;b|c"), "a,b/c");
  EXPECT_EQ(HolderLineBody("E1=2|x=y"), "2|x=y");
  EXPECT_EQ(HolderLineBody("E1"), "");
  EXPECT_EQ(JoinHolderLines({"E1=1", "", "B0=2"}), "E1=1;B0=2");
}

TEST(HolderLineCodec, FindHolderLineSelection) {
  const std::vector<std::string> lines = {
      "E17=1|2024-01-01|||0001",  // 0
      "E170=1|2024-01-01|||0009", // 1: another holder whose ID starts alike
      "F17=1|2024-02-02",         // 2: lost by 17, another kind
      "E17=2|2024-03-03|||0002",  // 3
      "E17=1|2024-04-04",         // 4: no receipt
  };
  struct Case {
    const char* prefix;
    const char* date;
    const char* receipt;
    int expected;
  } cases[] = {
      {"E17", "", "0001", 0},            // receipt selects
      {"E17", "", "0002", 3},
      {"E17", "2024-04-04", "0002", 3},  // the receipt wins over the date
      {"E17", "", "0009", 4},            // unknown receipt: the last line of the holder
      {"E17", "2024-03-03", "", 3},      // date selects without receipt
      {"E17", "2024-01-01", "", 0},
      {"E17", "1999-01-01", "", 4},      // unknown date: last line
      {"E17", "", "", 4},                // nothing given: last line
      {"E170", "", "", 1},
      {"F17", "", "", 2},
      {"E1", "", "", -1},                // a prefix of a prefix is no match
      {"E18", "", "0001", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindHolderLine(lines, c.prefix, c.date, c.receipt), c.expected)
        << c.prefix << " " << c.date << " " << c.receipt;
  EXPECT_TRUE(HasHolderLine(lines, "E170"));
  EXPECT_FALSE(HasHolderLine(lines, "H17"));
  EXPECT_FALSE(HasHolderLine({}, "E17"));
}

// ---------------------------------------------------------------------------------------
// Booking rules on the lines of one key

THolderBooking Booking(THolderRef owner, int32_t delta) {
  THolderBooking b;
  b.owner = owner;
  b.delta = delta;
  return b;
}

TEST(HolderBooking, ScenarioTable) {
  const THolderRef p17{okPerson, 17};
  const std::string ff = "\xFF";
  struct Case {
    const char* name;
    std::string before;
    THolderBooking booking;
    std::string after;
    THolderLinkChange link;
  };
  auto with = [](THolderBooking b, auto change) {
    change(b);
    return b;
  };
  const std::vector<Case> cases = {
      {"first issue adds a line dated today and links", "", Booking(p17, 1),
       "E17=1|2024-06-10", THolderLinkChange::Ensure},
      {"all given fields are written",
       "",
       with(Booking(p17, 2),
            [](THolderBooking& b) {
              b.date = PackDate(2024, 3, 5);
              b.deadline = PackDate(2024, 12, 31);
              b.remark = "Urlaub";
              b.receiptNo = "0042";
              b.identifier = "K-7";
              b.signatureRef = "2024/17";
              b.timeText = "2024-03-05\xA0" "09:15:00";
              b.cabinetId = 8;
            }),
       "E17=2|2024-03-05|2024-12-31|Urlaub|0042|K-7|2024/17|09:15:00|8",
       THolderLinkChange::Ensure},
      {"return of the only piece deletes the line and unlinks", "E17=1|2024-01-01",
       with(Booking(p17, -1), [](THolderBooking& b) { b.find = true; }), "",
       THolderLinkChange::Remove},
      {"return with a receipt changes only that holding",
       "E17=1|2024-01-01|||0001;E17=3|2024-02-02|||0002",
       with(Booking(p17, -1),
            [](THolderBooking& b) {
              b.find = true;
              b.receiptNo = "0001";
            }),
       "E17=3|2024-02-02|||0002", THolderLinkChange::None},
      {"a second issue with another receipt adds a second line",
       "E17=1|2024-01-01|||0001",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.date = PackDate(2024, 2, 2);
              b.receiptNo = "0002";
            }),
       "E17=1|2024-01-01|||0001;E17=1|2024-02-02|||0002", THolderLinkChange::Ensure},
      {"an earlier date moves the first date back", "E17=1|2024-05-05",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.date = PackDate(2024, 4, 1);
            }),
       "E17=2|2024-04-01", THolderLinkChange::Ensure},
      {"a later date leaves it", "E17=1|2024-05-05",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.date = PackDate(2024, 6, 1);
            }),
       "E17=2|2024-05-05", THolderLinkChange::Ensure},
      {"date 0 on a found line keeps its date", "E17=1|2024-05-05",
       with(Booking(p17, 1), [](THolderBooking& b) { b.find = true; }), "E17=2|2024-05-05",
       THolderLinkChange::Ensure},
      {"a remark contained between blanks is not appended", "E17=1|2024-05-05||alt neu",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.remark = "neu";
            }),
       "E17=2|2024-05-05||alt neu", THolderLinkChange::Ensure},
      {"another remark is appended", "E17=1|2024-05-05||alt",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.remark = "ne";
            }),
       "E17=2|2024-05-05||alt / ne", THolderLinkChange::Ensure},
      {"a remark starting with 0xFF replaces", "E17=1|2024-05-05||alt",
       with(Booking(p17, 0),
            [&](THolderBooking& b) {
              b.find = true;
              b.remark = ff + "ganz neu";
            }),
       "E17=1|2024-05-05||ganz neu", THolderLinkChange::Ensure},
      {"identifier 0xFF clears it", "E17=1|2024-05-05|||0001|K-7|sig",
       with(Booking(p17, 0),
            [&](THolderBooking& b) {
              b.find = true;
              b.identifier = ff;
            }),
       "E17=1|2024-05-05|||0001||sig", THolderLinkChange::Ensure},
      {"a stored time is never replaced", "E17=1|2024-05-05||||||08:00",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.timeText = "09:00";
            }),
       "E17=2|2024-05-05||||||08:00", THolderLinkChange::Ensure},
      {"a find without a line stores the negative count", "",
       with(Booking({okLost, 17}, -1), [](THolderBooking& b) { b.find = true; }),
       "F17=-1|2024-06-10", THolderLinkChange::None},
      {"stock lines never touch links", "C8=3|2024-01-01",
       with(Booking({okCabinet, 8}, -3), [](THolderBooking& b) { b.find = true; }), "",
       THolderLinkChange::None},
      {"the last holding of a bunch goes, other lines stay", "E5=1|2024-01-01;H3=1|2024-01-01",
       with(Booking({okKeyBunch, 3}, -1), [](THolderBooking& b) { b.find = true; }),
       "E5=1|2024-01-01", THolderLinkChange::Remove},
      {"a holder with two lines stays linked when one goes",
       "E17=1|2024-01-01|||0001;E17=1|2024-02-02|||0002",
       with(Booking(p17, -1),
            [](THolderBooking& b) {
              b.find = true;
              b.receiptNo = "0002";
            }),
       "E17=1|2024-01-01|||0001", THolderLinkChange::None},
      // Mends.
      {"separators in every text field are replaced",
       "",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.remark = "a;b|c";
              b.receiptNo = "00;1";
              b.identifier = "K;1|2";
              b.signatureRef = "s|g;";
              b.timeText = "2024-06-10\xA0" "10;00|00";
            }),
       "E17=1|2024-06-10||a,b/c|00,1|K,1/2|s/g,|10,00/00", THolderLinkChange::Ensure},
      {"a receipt typed with a separator still finds its holding",
       "E17=2|2024-01-01|||00,1;E17=1|2024-02-02|||0002",
       with(Booking(p17, -1),
            [](THolderBooking& b) {
              b.find = true;
              b.receiptNo = "00;1";
            }),
       "E17=1|2024-01-01|||00,1;E17=1|2024-02-02|||0002", THolderLinkChange::Ensure},
      {"a partial return keeps signature, cabinet and receipt of the holding",
       "E17=3|2024-01-01|||0001|K-7|SIG-ISSUE|08:00|8",
       with(Booking(p17, -1),
            [](THolderBooking& b) {
              b.find = true;
              b.receiptNo = "0009";
              b.signatureRef = "SIG-RETURN";
              b.timeText = "11:00";
              b.cabinetId = 9;
            }),
       "E17=2|2024-01-01|||0001|K-7|SIG-ISSUE|08:00|8", THolderLinkChange::Ensure},
      {"a partial return selecting no holding changes only the last one's count",
       "E17=1|2024-03-03|||0001;E17=3|2024-05-05|||0002",
       with(Booking(p17, -1),
            [](THolderBooking& b) {
              b.find = true;
              b.date = PackDate(2024, 1, 1);  // the date of a holding that is gone
              b.receiptNo = "0003";
              b.timeText = "2024-06-10\xA0" "11:00:00";
            }),
       "E17=1|2024-03-03|||0001;E17=2|2024-05-05|||0002", THolderLinkChange::Ensure},
      {"a found line gaining pieces takes the new signature and cabinet",
       "E17=1|2024-01-01|||0001||SIG-1||8",
       with(Booking(p17, 1),
            [](THolderBooking& b) {
              b.find = true;
              b.receiptNo = "0001";
              b.signatureRef = "SIG-2";
              b.cabinetId = 9;
            }),
       "E17=2|2024-01-01|||0001||SIG-2||9", THolderLinkChange::Ensure},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = Lines(c.before);
    const THolderBookingResult r = ApplyHolderBooking(lines, c.booking, kToday);
    EXPECT_TRUE(r.ok) << c.name;
    EXPECT_EQ(JoinHolderLines(lines), c.after) << c.name;
    EXPECT_EQ(static_cast<int>(r.link), static_cast<int>(c.link)) << c.name;
  }
}

TEST(HolderBooking, SeparatorsNeverSplitAHolding) {
  std::vector<std::string> lines;
  THolderBooking b = Booking({okPerson, 4}, 1);
  b.identifier = "A;E9=99";  // would read as a second holding if stored raw
  b.remark = "x|y;z";
  ASSERT_TRUE(ApplyHolderBooking(lines, b, kToday).ok);
  const std::vector<std::string> back = SplitHolderLines(JoinHolderLines(lines));
  ASSERT_EQ(back.size(), 1u);
  const THolderEntries entries = ParseHolderEntries(JoinHolderLines(lines), 1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Identifier, "A,E9=99");
  EXPECT_EQ(entries[0].Remark, "x/y,z");
}

TEST(HolderBooking, RefusedBookingsChangeNothing) {
  const std::string own = "E17=2147483647|2024-01-01";
  struct Case {
    THolderRef owner;
    int32_t delta;
  } cases[] = {
      {{8, 1}, 1},           // no such kind
      {{okPerson, -5}, 1},   // negative holder ID
      {{okPerson, 17}, 1},   // the count would leave 32 bits
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = Lines(own);
    THolderBooking b = Booking(c.owner, c.delta);
    b.find = true;
    EXPECT_FALSE(ApplyHolderBooking(lines, b, kToday).ok);
    EXPECT_EQ(JoinHolderLines(lines), own);
  }
}

// ---------------------------------------------------------------------------------------
// Entries

TEST(HolderEntries, ParseCutsAndSorts) {
  const std::string longRemark(80, 'r');
  const std::string own = "E17=2|2024-03-05|2024-04-01|" + longRemark +
                          "|0042|K-7|SIG|9:05|8;"
                          "xx;"                           // too short: skipped
                          "H3=1|2024-01-01||||||10:11:12;"  // earlier date sorts first
                          "G0=1|2024-03-05|||||||12|13";   // equal dates keep their order
  const THolderEntries e = ParseHolderEntries(own, 99);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].Kind, okKeyBunch);
  EXPECT_EQ(e[0].HolderId, 3);
  EXPECT_EQ(e[0].Time, "10:11");
  EXPECT_EQ(e[1].Kind, okPerson);
  EXPECT_EQ(e[1].KeyId, 99);
  EXPECT_EQ(e[1].HolderId, 17);
  EXPECT_EQ(e[1].Count, "2");
  EXPECT_EQ(e[1].Deadline, "2024-04-01");
  EXPECT_EQ(e[1].Remark, std::string(63, 'r'));
  EXPECT_EQ(e[1].ReceiptNo, "0042");
  EXPECT_EQ(e[1].Identifier, "K-7");
  EXPECT_EQ(e[1].SignatureRef, "SIG");
  EXPECT_EQ(e[1].Time, "9:05");
  EXPECT_EQ(e[1].CabinetId, 8);
  EXPECT_EQ(e[2].Kind, okDefective);
  EXPECT_EQ(e[2].CabinetId, 12);

  THolderEntries byDeadline = e;
  SortHolderEntriesByDeadline(byDeadline);
  EXPECT_EQ(byDeadline[0].Kind, okKeyBunch);  // empty deadlines first, in their order
  EXPECT_EQ(byDeadline[1].Kind, okDefective);
  EXPECT_EQ(byDeadline[2].Kind, okPerson);
}

}  // namespace
