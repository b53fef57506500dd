#include "data/UserRights.h"

#include <gtest/gtest.h>

#include "basic/ValueString.h"
#include "data/ClientSessionUnit.h"
#include "data/MandantUnit.h"

namespace {

TRightLevels Levels(std::initializer_list<int> values) {
  TRightLevels levels{};
  size_t i = 0;
  for (int v : values) levels[i++] = static_cast<uint8_t>(v);
  return levels;
}

TEST(DecodeUserRights, Cases) {
  const std::string all13("\x02\x03\x01\x00\x02\x02\x03\x01\x00\x02\x02\x01\x03", 13);
  struct {
    const char* what;
    std::string text;
    TRightLevels expected;
  } cases[] = {
      {"valid", EncodeNumberedStr(17, all13, false),
       Levels({2, 3, 1, 0, 2, 2, 3, 1, 0, 2, 2, 1, 3})},
      {"code 7 at position 3", EncodeNumberedStr(5, std::string("\x02\x02\x07\x02", 4), false),
       Levels({2, 2, 0, 2})},
      {"codes above 3 and printable digits",
       EncodeNumberedStr(5, std::string("\x04\xFF" "2\x03", 4), false), Levels({0, 0, 0, 3})},
      {"short payload", EncodeNumberedStr(9, std::string("\x02\x02", 2), false),
       Levels({2, 2})},
      {"long payload", EncodeNumberedStr(9, all13 + std::string(20, '\x02'), false),
       Levels({2, 3, 1, 0, 2, 2, 3, 1, 0, 2, 2, 1, 3})},
      {"empty", "", Levels({})},
      {"short text", "0123456", Levels({})},
      {"rotated form is not read", EncodeNumberedStr(17, all13, true), Levels({})},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUserRights(c.text), c.expected) << c.what;

  std::string bad = EncodeNumberedStr(17, all13, false);
  bad.back() = bad.back() == '0' ? '1' : '0';
  EXPECT_EQ(DecodeUserRights(bad), Levels({})) << "bad checksum";
}

TEST(DecodeUserRights, EncodeRoundTrip) {
  // Right 12 has no setting: the stored form holds the twelve rights of the dialog.
  TRightLevels levels = Levels({3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0, 2});
  EXPECT_EQ(DecodeUserRights(EncodeUserRights(44, levels)),
            Levels({3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0}));
}

TEST(EncodeUserRights, StoredTextIsTwelveLevelBytesNumberedWithTheUser) {
  // User 7: 7 xor 6B2D94E3, the twelve levels as hex, the checksum; decoded under any ID.
  const TRightLevels levels = Levels({2, 2, 1, 1, 2, 2, 2, 3, 1, 2, 1, 2, 2});
  const std::string stored = EncodeUserRights(7, levels);
  EXPECT_EQ(stored, "6B2D94E4020201010202020301020102D1");
  std::string payload = stored;
  EXPECT_FALSE(DecodeNumberedStr(9, payload, false));  // the number is the user's
  ASSERT_TRUE(DecodeNumberedStr(7, payload, false));
  EXPECT_EQ(payload.size(), 12u);
  EXPECT_EQ(DecodeUserRights(stored), Levels({2, 2, 1, 1, 2, 2, 2, 3, 1, 2, 1, 2}));
}

TEST(RightTables, LabelsAndMessages) {
  EXPECT_EQ(RightLabel(0), "Personen");
  EXPECT_EQ(RightLabel(3), "Geb\xE4ude / Schlie\xDF" "anlagen");
  EXPECT_EQ(RightLabel(11), "Listen drucken/exportieren");
  EXPECT_EQ(RightLabel(12), "");
  EXPECT_EQ(RightLabel(13), "");
  EXPECT_EQ(RightLabel(-1), "");
  const int texts[kRightCount] = {42, 42, 42, 42, 42, 65, 65, 65, 65, 42, 42, 66, 0};
  for (int r = 0; r < kRightCount; ++r) EXPECT_EQ(RightDenialText(r), texts[r]) << r;
}

TEST(Session, StartsWithEveryLevelOne) {
  Session().RightLevels[3] = 2;
  Session().LoggedIn = true;
  ResetSession();
  for (uint8_t level : Session().RightLevels) EXPECT_EQ(level, rlNo);
  EXPECT_FALSE(Session().LoggedIn);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Checks against a store

#include "DomainFixture.h"
#include "data/UnitTR100.h"

namespace {

class RightsTest : public ::testing::Test {
 protected:
  TTempDir dir;
  std::unique_ptr<TDomainStore> s;
  int32_t user, admin1, admin2, keeper, cabMine, cabOther, keyMine, keyOther, keyLoose;

  int32_t AddUser(const std::string& name, const TRightLevels& levels) {
    int32_t id = s->Add(icUser, name);
    (*s)->SetField(id, "rg", EncodeUserRights(id, levels));
    (*s)->Commit();
    return id;
  }
  static TRightLevels All(uint8_t level) {
    TRightLevels l;
    l.fill(level);
    return l;
  }

  void SetUp() override {
    ResetSession();
    s = std::make_unique<TDomainStore>(dir);
    user = AddUser("Anna", All(1));
    admin1 = AddUser("Bernd", All(2));
    keeper = AddUser("Clara", All(3));
    admin2 = AddUser("Dora", All(2));
    int32_t gone = AddUser("Egon", All(2));
    ASSERT_TRUE((*s)->MarkDeleted(gone));
    cabMine = s->Add(icCabinet, "Schrank A");
    cabOther = s->Add(icCabinet, "Schrank B");
    keyMine = s->Add(icKey, "S1");
    keyOther = s->Add(icKey, "S2");
    keyLoose = s->Add(icKey, "S3");
    s->Link(user, cabMine);
    s->Link(keyMine, cabMine);
    s->Link(keyOther, cabOther);
  }
  void TearDown() override { ResetSession(); }

  void LoginWith(const TRightLevels& levels) {
    (*s)->SetField(user, "rg", EncodeUserRights(user, levels));
    (*s)->Commit();
    ASSERT_TRUE(LoginUser(**s, user));
  }
};

TEST_F(RightsTest, LevelsReadOnlyModeAndCabinets) {
  const int32_t none = 0;
  for (uint8_t level = 0; level <= 3; ++level) {
    for (bool readOnly : {false, true}) {
      TRightLevels levels = All(1);
      levels[rtIssue] = level;
      LoginWith(levels);
      TMandantState state;
      state.ReadOnlyMode = readOnly;
      TMandantStateScope readOnlyScope(state);
      for (int32_t item : {none, keyMine, keyOther, keyLoose}) {
        bool expected =
            readOnly || level < 2 || (level == 3 && item != none && item != keyMine);
        TScopedRecorder ui;
        EXPECT_EQ(RightDeniedFor(rtIssue, item), expected)
            << "level " << int(level) << " readOnly " << readOnly << " item " << item;
        if (expected) {
          ASSERT_EQ(ui.messages.size(), 1u);
          EXPECT_EQ(ui.messages[0].kind, TMsgKind::Error);
          EXPECT_EQ(ui.messages[0].text, CoreText(65));
        } else {
          EXPECT_TRUE(ui.messages.empty());
        }
      }
    }
  }
}

TEST_F(RightsTest, MessagesPerRight) {
  LoginWith(All(1));
  const std::string change = CoreText(42);
  const std::string admins = change + "\r\r" + CoreText(64) + "\rBernd\rDora";
  const std::string expected[kRightCount] = {
      change,       change,       change,       change,       admins,       CoreText(65), CoreText(65),
      CoreText(65), CoreText(65), change,       change,       CoreText(66), ""};
  for (int right = 0; right < kRightCount; ++right) {
    TScopedRecorder ui;
    EXPECT_TRUE(RightDenied(right)) << right;
    if (expected[right].empty()) {
      EXPECT_TRUE(ui.messages.empty()) << right;
    } else {
      ASSERT_EQ(ui.messages.size(), 1u) << right;
      EXPECT_EQ(ui.messages[0].text, expected[right]) << right;
    }
  }
  EXPECT_EQ(UsersWithRightText(rtUsers), "Bernd\rDora");
  EXPECT_EQ(UsersWithRightText(rtIssue), "Bernd\rDora");
  EXPECT_EQ(UsersWithRightText(13), "");
}

TEST_F(RightsTest, AnyOfAListShowsOneMessageAtMost) {
  TRightLevels levels = All(3);
  LoginWith(levels);
  TItemList list;
  list.Add(keyMine);
  list.Add(keyOther);
  list.Add(keyLoose);
  {
    TScopedRecorder ui;
    EXPECT_TRUE(RightDeniedForAny(rtReturn, &list));
    EXPECT_EQ(ui.messages.size(), 1u);
  }
  TItemList mine;
  mine.Add(keyMine);
  TItemList empty;
  TScopedRecorder ui;
  EXPECT_FALSE(RightDeniedForAny(rtReturn, &mine));
  EXPECT_FALSE(RightDeniedForAny(rtReturn, &empty));
  EXPECT_FALSE(RightDeniedForAny(rtReturn, nullptr));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(UserHasAnyCabinet(mine));  // a key is no cabinet
  TItemList cabinets;
  cabinets.Add(cabOther);
  EXPECT_FALSE(UserHasAnyCabinet(cabinets));
  cabinets.Add(cabMine);
  EXPECT_TRUE(UserHasAnyCabinet(cabinets));
}

TEST_F(RightsTest, NobodyLoggedInMayDoNothing) {
  ClientSession().LendStore(&**s);
  Session().RightLevels = All(2);  // levels alone do not make a login
  for (int right = 0; right < kRightCount; ++right) EXPECT_TRUE(RightDenied(right)) << right;
  ASSERT_TRUE(LoginUser(**s, admin1));
  EXPECT_FALSE(RightDenied(rtSettings));
  EXPECT_EQ(Session().CurrentUserName, "Bernd");
  LogoutUser();
  EXPECT_TRUE(RightDenied(rtSettings));
  EXPECT_FALSE(LoginUser(**s, keyMine));
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_TRUE(RightDenied(rtSettings));
  EXPECT_TRUE(RightDenied(-1));
  EXPECT_TRUE(RightDenied(13));
}

}  // namespace
