#pragma once
// The installer carries what it installs behind its own program image, as named sections
// appended to its file:
//
//   image | section "Section:BeginningMark" (empty) | sections ... [| section "Section:Check"]
//
// A section is a marker (the frame byte, the name's bytes each changed by our exclusive-or
// constant, the frame byte again), the data length (4 bytes, unsigned, little endian) and
// the data.
//
// The closing section "Section:Check" is optional. It holds 8 bytes: the number of bytes
// from the beginning mark up to the check's own marker and their CRC-32 (both 4 bytes,
// little endian). A payload that carries it is taken only whole: the check section must end
// the file, cover a run of sections that starts with the beginning mark, and match; the
// sections are then walked one after another by their lengths, so a marker that happens to
// occur inside a section's data never splits it. Anything else refuses the whole payload
// before the installer acts. Our build tool always writes it.
//
// A payload without it is read as the format has always been read: the image ends at the
// first beginning mark, a section is found by a plain search for its marker from there on
// (the first match wins), needs its 4 length bytes, and yields its data; a stated length
// beyond the end of the file yields the bytes that remain.
//
// The markers are built at run time (only the plain names are in the program), so the
// image itself holds no marker.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kSectionBeginningMark = "Section:BeginningMark";
inline constexpr const char* kSectionLanguage = "Section:Setup.lng";
inline constexpr const char* kSectionCommands = "Section:Setup.cmd";
inline constexpr const char* kSectionFiles = "Section:Setup.bin";
inline constexpr const char* kSectionUninstall = "Section:Uninst";
inline constexpr const char* kSectionCheck = "Section:Check";

// The frame byte and the exclusive-or constant. The constant is below 0x80, so no ASCII
// name byte turns into the frame byte and a marker's end is found without knowing its name.
inline constexpr unsigned char kSectionFrameByte = 0xF7;
inline constexpr unsigned char kSectionNameXor = 0x3C;
// Names are printable ASCII of at most this many bytes.
inline constexpr std::size_t kMaxSectionNameLength = 64;

// The marker bytes of a name.
std::string MakeSectionMark(const std::string& name);
// 1-based position of the first occurrence of the name's marker in `text` (0 when there is
// none) and the marker's length.
std::size_t FindSectionMark(const std::string& name, const std::string& text,
                            std::size_t& markLength);
// Marker + 4-byte little-endian length + data, for appending behind an image. Empty for a
// name that is not printable ASCII of 1..kMaxSectionNameLength bytes, or data of 4 GiB or
// more.
std::string MakeSection(const std::string& name, const std::string& data);
// The closing check section for a section area (everything from the beginning mark on).
std::string MakeCheckSection(const std::string& sectionArea);
// The beginning mark, the sections in order and the check: everything to append to an image.
struct TSectionSpec {
  std::string name;
  std::string data;
};
std::string BuildSectionArea(const std::vector<TSectionSpec>& sections);

// zlib at `level` (1 fastest to 9 smallest; -1 zlib's default); the reverse takes every
// level alike and refuses a stream that is damaged, does not end, has bytes after its end,
// or grows beyond `maxSize`.
std::string CompressBytes(const std::string& bytes, int level = -1);
bool DecompressBytes(const std::string& compressed, std::size_t maxSize, std::string& bytes);

// ---------------------------------------------------------------------------------------
// A file read as image and sections.

enum class TSectionsStatus {
  NoSections,  // no beginning mark: the whole file is the image
  Sound,       // the sections passed the check
  Unchecked,   // a payload without the check section, read by searching its markers
  Damaged,     // a payload with the check section that failed it (see error)
};

struct TSectionEntry {
  std::string name;
  std::size_t offset = 0;  // of the data in the file
  std::size_t length = 0;
};

struct TSectionFile {
  TSectionsStatus status = TSectionsStatus::NoSections;
  std::string error;           // why a payload was refused
  std::size_t imageSize = 0;   // the file's bytes before the beginning mark
  std::vector<TSectionEntry> sections;  // file order, the beginning mark and the check included
                                        // (Sound only; Unchecked sections are searched)
};

TSectionFile ParseSectionFile(const std::string& bytes);
// The data of the first section of that name; false and empty when the file has no usable
// sections (none, or refused) or there is no such section.
bool SectionData(const std::string& bytes, const TSectionFile& file, const std::string& name,
                 std::string& data);

// ---------------------------------------------------------------------------------------
// The running program's own file, read once.

enum class TSelfLoadState { NotTried = 0, Loaded = 1, Failed = 2 };

// Reads the own file once (later calls return at once). Failed when it cannot be read or
// its payload is refused (SelfSectionsError says why); Loaded otherwise, also for an image
// without sections.
void LoadSelfSections();
TSelfLoadState SelfSectionsState();
// True when the own file carries a payload that is sound or unchecked.
bool SelfSectionsPresent();
// True when the own file carries a payload that was refused (cut short, changed).
bool SelfSectionsDamaged();
const std::string& SelfSectionsError();
// The data of the first section of that name in the own file; false and empty when the
// sections are not loaded or there is no such section.
bool ReadSection(const std::string& name, std::string& data);
// The program image: the own file before its beginning mark (the whole file without one).
std::string SelfImage();
// The file LoadSelfSections reads: RunningExecutablePath() unless set. Setting it forgets
// what was loaded (tests, and the built tools' checks).
void SetSelfFileName(const std::string& fileName);
const std::string& SelfFileName();
// Forgets what was loaded and the file set, as at program start.
void ResetSelfSections();
