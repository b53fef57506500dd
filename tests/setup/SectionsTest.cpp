#include "setup/SelfLoadSectionsUnit.h"

#include <gtest/gtest.h>

#include "setup/SetupTestSupport.h"

namespace {

const std::string kImage = TSetupHome::Image();

std::vector<std::string> Names(const TSectionFile& file) {
  std::vector<std::string> names;
  for (const TSectionEntry& e : file.sections) names.push_back(e.name);
  return names;
}

TEST(Sections, RoundTripWithAnEmptySectionAndAMarkerInsideData) {
  // The command list's data holds another section's marker and a fake length behind it:
  // walking by lengths, it stays one section.
  const std::string tricky = "before" + MakeSectionMark(kSectionFiles) + std::string("\x05\0\0\0", 4) +
                             "after" + MakeSectionMark(kSectionCheck);
  const std::string bytes =
      kImage + BuildSectionArea({{kSectionLanguage, ""}, {kSectionCommands, tricky},
                                 {kSectionFiles, std::string(70000, 'x')}});
  const TSectionFile file = ParseSectionFile(bytes);
  ASSERT_EQ(file.status, TSectionsStatus::Sound) << file.error;
  EXPECT_EQ(file.imageSize, kImage.size());
  EXPECT_EQ(Names(file), (std::vector<std::string>{kSectionBeginningMark, kSectionLanguage,
                                                   kSectionCommands, kSectionFiles, kSectionCheck}));
  std::string data = "unchanged";
  EXPECT_TRUE(SectionData(bytes, file, kSectionLanguage, data));
  EXPECT_EQ(data, "");
  EXPECT_TRUE(SectionData(bytes, file, kSectionCommands, data));
  EXPECT_EQ(data, tricky);
  EXPECT_TRUE(SectionData(bytes, file, kSectionFiles, data));
  EXPECT_EQ(data, std::string(70000, 'x'));
  EXPECT_FALSE(SectionData(bytes, file, kSectionUninstall, data));
  EXPECT_EQ(data, "");

  // An empty section is its marker and four zero bytes; the marker is framed and scrambled.
  const std::string mark = MakeSectionMark("Section:X");
  EXPECT_EQ(MakeSection("Section:X", ""), mark + std::string(4, '\0'));
  EXPECT_EQ(mark.size(), 11u);
  EXPECT_EQ(static_cast<unsigned char>(mark.front()), 0xF7);
  EXPECT_EQ(static_cast<unsigned char>(mark.back()), 0xF7);
  EXPECT_EQ(mark.find("Section"), std::string::npos);
  size_t length = 0;
  EXPECT_EQ(FindSectionMark("Section:X", "ab" + mark, length), 3u);
  EXPECT_EQ(length, mark.size());
  EXPECT_EQ(FindSectionMark("Section:Y", "ab" + mark, length), 0u);
  EXPECT_EQ(MakeSection("bad name", "x"), "") << "names are printable ASCII without blanks";
}

TEST(Sections, AFileWithoutBeginningMarkIsAllImage) {
  const std::string bytes = kImage + MakeSection(kSectionCommands, "x");
  const TSectionFile file = ParseSectionFile(bytes);
  EXPECT_EQ(file.status, TSectionsStatus::NoSections);
  EXPECT_EQ(file.imageSize, bytes.size());
  std::string data;
  EXPECT_FALSE(SectionData(bytes, file, kSectionCommands, data));
}

TEST(Sections, ADamagedPayloadIsRefusedWhole) {
  const std::string area = BuildSectionArea({{kSectionLanguage, "LANG"},
                                             {kSectionCommands, std::string(300, 'c')}});
  const std::string sound = kImage + area;
  const size_t areaPos = kImage.size();
  const size_t beginMark = MakeSectionMark(kSectionBeginningMark).size() + 4;
  const size_t langMark = MakeSectionMark(kSectionLanguage).size();
  struct TCase {
    const char* what;
    std::string bytes;
  };
  auto flipped = [&sound](size_t pos) {
    std::string b = sound;
    b[pos] = static_cast<char>(b[pos] ^ 0x01);
    return b;
  };
  const TCase cases[] = {
      {"cut by one byte", sound.substr(0, sound.size() - 1)},
      {"cut inside the check", sound.substr(0, sound.size() - 6)},
      {"check marker flipped", flipped(sound.size() - 20)},
      {"bytes appended", sound + "x"},
      {"marker byte flipped", flipped(areaPos + beginMark + 3)},
      {"length flipped", flipped(areaPos + beginMark + langMark)},
      {"data byte flipped", flipped(areaPos + 100)},
      {"check sum flipped", flipped(sound.size() - 1)},
      {"covered length flipped", flipped(sound.size() - 8)},
      {"no beginning mark", kImage + MakeSection(kSectionCommands, "x") +
                                MakeCheckSection(MakeSection(kSectionCommands, "x"))},
  };
  for (const TCase& c : cases) {
    const TSectionFile file = ParseSectionFile(c.bytes);
    EXPECT_EQ(file.status, TSectionsStatus::Damaged) << c.what;
    EXPECT_FALSE(file.error.empty()) << c.what;
    std::string data;
    EXPECT_FALSE(SectionData(c.bytes, file, kSectionLanguage, data)) << c.what;
  }
  EXPECT_EQ(ParseSectionFile(sound).status, TSectionsStatus::Sound);
}

// A payload without the check section is read by searching its markers: the image ends at
// the first beginning mark, a section needs its four length bytes, and a stated length
// beyond the end of the file yields what remains.
TEST(Sections, APayloadWithoutCheckIsReadAsFound) {
  const std::string area = MakeSection(kSectionBeginningMark, "") +
                           MakeSection(kSectionLanguage, "LANG") +
                           MakeSection(kSectionCommands, std::string(300, 'c'));
  const std::string whole = kImage + area;
  const size_t commandsData = whole.size() - 300;
  struct TCase {
    const char* what;
    std::string bytes;
    bool found;
    std::string commands;
  };
  const TCase cases[] = {
      {"whole", whole, true, std::string(300, 'c')},
      {"cut inside the data", whole.substr(0, commandsData + 120), true, std::string(120, 'c')},
      {"cut after the length", whole.substr(0, commandsData), true, ""},
      {"cut inside the length", whole.substr(0, commandsData - 1), false, ""},
      {"cut inside the marker", whole.substr(0, commandsData - 6), false, ""},
      {"a later section of the same name", whole + MakeSection(kSectionCommands, "second"), true,
       std::string(300, 'c')},
  };
  for (const TCase& c : cases) {
    const TSectionFile file = ParseSectionFile(c.bytes);
    ASSERT_EQ(file.status, TSectionsStatus::Unchecked) << c.what << ": " << file.error;
    EXPECT_EQ(file.imageSize, kImage.size()) << c.what;
    std::string data = "unchanged";
    EXPECT_TRUE(SectionData(c.bytes, file, kSectionLanguage, data)) << c.what;
    EXPECT_EQ(data, "LANG") << c.what;
    EXPECT_EQ(SectionData(c.bytes, file, kSectionCommands, data), c.found) << c.what;
    EXPECT_EQ(data, c.commands) << c.what;
    EXPECT_FALSE(SectionData(c.bytes, file, kSectionFiles, data)) << c.what;
    EXPECT_EQ(data, "") << c.what;
  }

  // The running program's own file reads the same way.
  TSetupHome home;
  home.UseInstaller(whole.substr(0, commandsData + 7));
  LoadSelfSections();
  EXPECT_TRUE(SelfSectionsPresent());
  EXPECT_FALSE(SelfSectionsDamaged());
  EXPECT_EQ(SelfImage(), kImage);
  std::string data;
  EXPECT_TRUE(ReadSection(kSectionCommands, data));
  EXPECT_EQ(data, "ccccccc");
}

TEST(Sections, DecompressionRefusesDamagedShortJoinedAndOversizedStreams) {
  const std::string text(5000, 'a');
  const std::string packed = CompressBytes(text);
  std::string out;
  EXPECT_TRUE(DecompressBytes(packed, text.size(), out));
  EXPECT_EQ(out, text);
  EXPECT_FALSE(DecompressBytes(packed, text.size() - 1, out)) << "grows beyond the limit";
  EXPECT_EQ(out, "");
  EXPECT_FALSE(DecompressBytes(packed.substr(0, packed.size() - 3), text.size(), out));
  EXPECT_FALSE(DecompressBytes(packed + "x", text.size(), out));
  EXPECT_FALSE(DecompressBytes("not zlib", 100, out));
  EXPECT_FALSE(DecompressBytes("", 100, out));
}

TEST(Sections, TheRunningProgramsFileIsReadOnce) {
  TSetupHome home;
  const std::string file = home.UseInstaller(home.MakeInstaller({"action=exec"}, {}, "LNG"));
  LoadSelfSections();
  EXPECT_EQ(SelfSectionsState(), TSelfLoadState::Loaded);
  EXPECT_TRUE(SelfSectionsPresent());
  EXPECT_EQ(SelfImage(), TSetupHome::Image());
  std::string data;
  EXPECT_TRUE(ReadSection(kSectionLanguage, data));
  EXPECT_EQ(data, "LNG");
  // Read once: a change of the file afterwards is not seen.
  WriteAllBytes(file, "gone");
  LoadSelfSections();
  EXPECT_TRUE(ReadSection(kSectionLanguage, data));

  SetSelfFileName(home.ToolsDir() + "missing");
  LoadSelfSections();
  EXPECT_EQ(SelfSectionsState(), TSelfLoadState::Failed);
  EXPECT_FALSE(ReadSection(kSectionLanguage, data));
  EXPECT_EQ(SelfImage(), "");

  home.UseInstaller(TSetupHome::Image());
  LoadSelfSections();
  EXPECT_EQ(SelfSectionsState(), TSelfLoadState::Loaded);
  EXPECT_FALSE(SelfSectionsPresent());
  EXPECT_EQ(SelfImage(), TSetupHome::Image());
}

}  // namespace
