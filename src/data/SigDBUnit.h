#pragma once
// Pad signatures and the yearly transaction journal.
//
// A signature record holds the pad's texts and the pen points. On disk it is compressed
// (zlib, level 9), carries the SHA-1 of the compressed bytes and is scrambled in place by
// TCustomerCry keyed (0, 0) so that a hex viewer shows no pad text. The scrambling hides
// the record from casual view only, and the SHA-1 only detects accidental damage (a cut
// file, a flipped bit on the share); neither keeps anybody from forging a record.
//
// Records live in one binary store pair per month, folder + "Sig" + "yyyymm" (".hbi" and
// ".hbd"), in the client's "Transactions" folder; stations of one data folder share the
// month's pair under the global write reservation. A record is addressed by its reference
// "yyyymm:ID:sha1hex". The journal of a year, folder + "Transactions" + "yyyy" + ".ada", is
// a record store with one class-13 record per signed transaction whose field "SigBin"
// holds the reference; a journal reference is "yyyy:ID".
//
// Record layout before compression, all integers uint32 little-endian:
//   L1, L1 bytes first text (the pad text) | L2, L2 bytes second text |
//   6 * n, n points of 6 bytes {x uint16, y uint16, level byte, pressure byte} | 0

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/AccessProtection.h"
#include "data/SHA1Unit.h"

// One packed pen point as the pad capture hands it over and the signature drawing reads it.
struct TMiniFrames {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint8_t level = 0;     // drawing level
  std::uint8_t pressure = 0;  // bit 0 set: the first point of a stroke

  bool StartsStroke() const { return (pressure & 1) != 0; }
  bool operator==(const TMiniFrames&) const = default;
};
constexpr std::size_t kMiniFramesSize = 6;
using TSignaturePoints = std::vector<TMiniFrames>;

// The largest record (before compression) that is written or unpacked. A pad signature
// with its texts takes a few tens of kilobytes; whatever claims more is damage and must
// not make the reader allocate without bound.
constexpr std::size_t kMaxSignatureRecordSize = 8u << 20;
// The largest stored (compressed) record that is read at all.
constexpr std::size_t kMaxStoredSignatureSize = kMaxSignatureRecordSize + (64u << 10);

// ---- the record itself (no files) -------------------------------------------------------

// The uncompressed record. False when it would exceed kMaxSignatureRecordSize.
bool BuildSignatureRecord(const std::string& text1, const std::string& text2,
                          const TSignaturePoints& points, std::string& record);
// Walks the blocks: 1 first text, 2 second text, 3 points (length div 6), later blocks
// skipped; a negative length, one beyond the remaining bytes, or 1 to 3 bytes left after
// the last whole length fail. On failure all three parts are empty.
bool ParseSignatureRecord(const char* bytes, std::size_t size, std::string& text1,
                          std::string& text2, TSignaturePoints& points);

// zlib at level 9.
bool CompressSignatureRecord(const std::string& record, std::string& compressed);
// Streams the zlib data through a bounded buffer: false once more than `limit` bytes come
// out, for a cut or damaged stream, or for bytes behind the end of the stream.
bool DecompressSignatureRecord(const char* bytes, std::size_t size, std::string& record,
                               std::size_t limit = kMaxSignatureRecordSize);
// What the reader does once the digest matched: decompress, then parse. On failure all
// three parts are empty.
bool UnpackSignatureRecord(const char* compressed, std::size_t size, std::string& text1,
                           std::string& text2, TSignaturePoints& points);

// ---- references --------------------------------------------------------------------------

// Exactly six ASCII digits ("yyyymm"). Only such periods become file names.
bool IsSignaturePeriod(const std::string& period);

struct TSignatureRef {
  std::string period;       // six digits
  std::int32_t id = 0;      // at least 1
  TSHA1Digest digest{};
};
// period + ":" + ID + ":" + 40 lower-case hex digits.
std::string MakeSignatureReference(const std::string& period, std::int32_t id,
                                   const TSHA1Digest& digest);
// Exactly three parts: a six-digit period, a positive decimal ID (digits only, within
// int32) and 40 hex digits. Nothing of a reference that fails here reaches a file name.
bool ParseSignatureReference(const std::string& reference, TSignatureRef& ref);

struct TMandantInfoRec;
// The client's "Transactions" folder ("Transactions-" + name for a named client), where
// its signatures and journals live; null = the default client.
std::string SignatureFolder(const TMandantInfoRec* client);

// Base name of a month's pair: folder + "Sig" + period.
std::string SignatureStoreBaseName(const std::string& folder, const std::string& period);
// File name of a year's journal: folder + "Transactions" + year + ".ada".
std::string JournalFileName(const std::string& folder, const std::string& year);

// Exactly four ASCII digits.
bool IsJournalYear(const std::string& year);
// "yyyy:ID" with four digits, ":" and a positive decimal ID.
bool ParseJournalReference(const std::string& reference, std::string& year, std::int32_t& id);

// ---- the store -----------------------------------------------------------------------------

class TMiniDB;

// The signature records and the journal of one client's "Transactions" folder as one
// workstation sees them. The program keeps one (SignatureDB()); a test makes one per
// simulated workstation, each with its own reservation registry.
class TSigDB {
 public:
  // `folder`: the client's "Transactions" folder with a trailing "/". `registry`: the
  // reservations this workstation takes part in; null = the program's.
  explicit TSigDB(std::string folder = "", TAccessProtectionRegistry* registry = nullptr);
  ~TSigDB();
  TSigDB(const TSigDB&) = delete;
  TSigDB& operator=(const TSigDB&) = delete;

  // A new folder closes the journal.
  void SetFolder(const std::string& folder);
  const std::string& Folder() const { return folder_; }

  // Builds, compresses, digests, scrambles and stores the record in the pair of `period`
  // (six digits) under a new ID. The reference is set only once the record is on disk and
  // reads back; otherwise it is empty and the result false.
  bool SaveSignatureRecord(const std::string& period, const std::string& text1,
                           const std::string& text2, std::string& reference,
                           const TSignaturePoints& points);
  // True and the parts of the record the reference names. False, all parts empty, for a
  // malformed reference, a missing pair or record, a digest that does not match, or a
  // record that does not unpack. Never creates a file or a folder.
  bool LoadSignatureRecord(const std::string& reference, std::string& text1,
                           std::string& text2, TSignaturePoints& points);

  // The journal of `year` (four digits) open and read again. False for another year text
  // or when the store cannot be opened (the year is then forgotten).
  bool OpenJournalYear(const std::string& year);
  // The journal store (null before the first OpenJournalYear) and its open year ("" none).
  TMiniDB* Journal() const { return journal_.get(); }
  const std::string& JournalYear() const { return journalYear_; }
  // Frees the journal (at logout and exit).
  void CloseJournal();

  // Writes `signatureReference` into "SigBin" of journal record `recordId` of `year`, or of
  // a new class-13 record when `recordId` is 0; the record is made, filled and saved under
  // one reservation of the journal, so no station ever sees it without its reference.
  // True and `journalReference` = year + ":" + ID; false and "" otherwise (also for an ID
  // that is no class-13 record).
  bool WriteJournalSignature(const std::string& year, std::int32_t recordId,
                             const std::string& signatureReference,
                             std::string& journalReference);
  // The "SigBin" of the journal record "yyyy:ID". False and "" for a malformed reference,
  // a year without journal file (no file is created), or a record without one.
  bool ReadJournalSignature(const std::string& journalReference,
                            std::string& signatureReference);

  // The station key the journal locks records under; empty = the program's. Takes effect
  // at the next opening of a journal.
  std::string StationKey;

  // Why the last call failed (for the log).
  const std::string& LastError() const { return error_; }

 private:
  TAccessProtectionRegistry& Registry() const;
  bool Fail(std::string why);

  std::string folder_;
  TAccessProtectionRegistry* registry_;
  std::unique_ptr<TMiniDB> journal_;
  std::string journalYear_;
  std::string error_;
};

// The open client's journal (the client session's); its folder is set when the client's
// data is opened.
TSigDB& SignatureDB();

// The program's calls, on SignatureDB().
bool SaveSignatureRecord(const std::string& period, const std::string& text1,
                         const std::string& text2, std::string& reference,
                         const TSignaturePoints& points);
bool LoadSignatureRecord(const std::string& reference, std::string& text1, std::string& text2,
                         TSignaturePoints& points);
bool OpenJournalYear(const std::string& year);
