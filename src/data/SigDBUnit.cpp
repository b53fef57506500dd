#include "data/SigDBUnit.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <utility>

#include "basic/CryUnit.h"
#include "data/BinDatabase.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"

namespace {

void PutU32(std::string& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF),
                         static_cast<char>((value >> 24) & 0xFF)};
  out.append(bytes, 4);
}

std::uint32_t GetU32(const unsigned char* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A positive decimal ID: digits only (no sign, no blanks), within int32.
bool ParsePositiveId(const std::string& text, std::int32_t& id) {
  id = 0;
  if (!AllDigits(text)) return false;
  std::int64_t value = 0;
  for (char c : text) {
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return false;
  }
  if (value < 1) return false;
  id = static_cast<std::int32_t>(value);
  return true;
}

bool FileExists(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

// The scrambler of signature records: built once (the tables take a moment), keyed (0, 0).
const TCustomerCry* SignatureScrambler() {
  static TCustomerCry cry;
  static const bool keyed = cry.SetKey(0, 0);
  return keyed ? &cry : nullptr;
}

}  // namespace

// ---- the record ---------------------------------------------------------------------------

bool BuildSignatureRecord(const std::string& text1, const std::string& text2,
                          const TSignaturePoints& points, std::string& record) {
  record.clear();
  const std::size_t limit = kMaxSignatureRecordSize;
  // Four lengths and the three blocks; each part checked alone first so nothing overflows.
  if (text1.size() > limit || text2.size() > limit || points.size() > limit / kMiniFramesSize) {
    return false;
  }
  const std::size_t pointBytes = points.size() * kMiniFramesSize;
  const std::size_t total = 16 + text1.size() + text2.size() + pointBytes;
  if (total > limit) return false;
  record.reserve(total);
  PutU32(record, static_cast<std::uint32_t>(text1.size()));
  record += text1;
  PutU32(record, static_cast<std::uint32_t>(text2.size()));
  record += text2;
  PutU32(record, static_cast<std::uint32_t>(pointBytes));
  for (const TMiniFrames& p : points) {
    const char bytes[6] = {static_cast<char>(p.x & 0xFF),  static_cast<char>(p.x >> 8),
                           static_cast<char>(p.y & 0xFF),  static_cast<char>(p.y >> 8),
                           static_cast<char>(p.level), static_cast<char>(p.pressure)};
    record.append(bytes, 6);
  }
  PutU32(record, 0);
  return true;
}

bool ParseSignatureRecord(const char* bytes, std::size_t size, std::string& text1,
                          std::string& text2, TSignaturePoints& points) {
  text1.clear();
  text2.clear();
  points.clear();
  if (bytes == nullptr && size > 0) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t pos = 0;
  int block = 0;
  bool ok = true;
  while (ok && size - pos >= 4) {
    const std::int32_t length = static_cast<std::int32_t>(GetU32(p + pos));
    pos += 4;
    if (length < 0 || static_cast<std::size_t>(length) > size - pos) {
      ok = false;
      break;
    }
    const std::size_t n = static_cast<std::size_t>(length);
    ++block;
    if (block == 1) {
      text1.assign(bytes + pos, n);
    } else if (block == 2) {
      text2.assign(bytes + pos, n);
    } else if (block == 3) {
      points.resize(n / kMiniFramesSize);
      const unsigned char* q = p + pos;
      for (TMiniFrames& point : points) {
        point.x = static_cast<std::uint16_t>(q[0] | (q[1] << 8));
        point.y = static_cast<std::uint16_t>(q[2] | (q[3] << 8));
        point.level = q[4];
        point.pressure = q[5];
        q += kMiniFramesSize;
      }
    }
    pos += n;
  }
  if (ok && pos != size) ok = false;  // 1 to 3 stray bytes
  if (!ok) {
    text1.clear();
    text2.clear();
    points.clear();
  }
  return ok;
}

bool CompressSignatureRecord(const std::string& record, std::string& compressed) {
  compressed.clear();
  if (record.size() > kMaxSignatureRecordSize) return false;
  uLongf length = compressBound(static_cast<uLong>(record.size()));
  compressed.resize(length);
  const int rc = compress2(reinterpret_cast<Bytef*>(compressed.data()), &length,
                           reinterpret_cast<const Bytef*>(record.data()),
                           static_cast<uLong>(record.size()), Z_BEST_COMPRESSION);
  if (rc != Z_OK) {
    compressed.clear();
    return false;
  }
  compressed.resize(length);
  return true;
}

bool DecompressSignatureRecord(const char* bytes, std::size_t size, std::string& record,
                               std::size_t limit) {
  record.clear();
  if (bytes == nullptr || size == 0 || size > kMaxStoredSignatureSize) return false;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
  stream.avail_in = static_cast<uInt>(size);
  // Out through a fixed buffer: what the stream claims never decides an allocation.
  unsigned char chunk[16384];
  int rc = Z_OK;
  bool ok = true;
  while (true) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    rc = inflate(&stream, Z_NO_FLUSH);
    const std::size_t got = sizeof chunk - stream.avail_out;
    if (got > limit - record.size()) {
      ok = false;
      break;
    }
    record.append(reinterpret_cast<const char*>(chunk), got);
    if (rc == Z_STREAM_END) break;
    // Z_BUF_ERROR without progress: the input ended inside the stream.
    if (rc != Z_OK) {
      ok = false;
      break;
    }
  }
  // Bytes behind the end of the stream are no part of any record this program wrote.
  if (ok && stream.avail_in != 0) ok = false;
  inflateEnd(&stream);
  if (!ok) {
    record.clear();
    record.shrink_to_fit();
  }
  return ok;
}

bool UnpackSignatureRecord(const char* compressed, std::size_t size, std::string& text1,
                           std::string& text2, TSignaturePoints& points) {
  std::string record;
  if (!DecompressSignatureRecord(compressed, size, record)) {
    text1.clear();
    text2.clear();
    points.clear();
    return false;
  }
  return ParseSignatureRecord(record.data(), record.size(), text1, text2, points);
}

// ---- references ---------------------------------------------------------------------------

bool IsSignaturePeriod(const std::string& period) {
  return period.size() == 6 && AllDigits(period);
}

bool IsJournalYear(const std::string& year) { return year.size() == 4 && AllDigits(year); }

std::string MakeSignatureReference(const std::string& period, std::int32_t id,
                                   const TSHA1Digest& digest) {
  return period + ":" + std::to_string(id) + ":" + SHA1ToHex(digest);
}

bool ParseSignatureReference(const std::string& reference, TSignatureRef& ref) {
  ref = TSignatureRef{};
  const std::size_t first = reference.find(':');
  if (first == std::string::npos) return false;
  const std::size_t second = reference.find(':', first + 1);
  if (second == std::string::npos) return false;
  TSignatureRef parsed;
  parsed.period = reference.substr(0, first);
  if (!IsSignaturePeriod(parsed.period)) return false;
  if (!ParsePositiveId(reference.substr(first + 1, second - first - 1), parsed.id)) return false;
  // A third ":" lands in the digest text, which then is no hex.
  if (!HexToSHA1(reference.substr(second + 1), parsed.digest)) return false;
  ref = std::move(parsed);
  return true;
}

bool ParseJournalReference(const std::string& reference, std::string& year, std::int32_t& id) {
  year.clear();
  id = 0;
  if (reference.size() < 6 || reference[4] != ':') return false;
  const std::string y = reference.substr(0, 4);
  std::int32_t n = 0;
  if (!IsJournalYear(y) || !ParsePositiveId(reference.substr(5), n)) return false;
  year = y;
  id = n;
  return true;
}

std::string SignatureFolder(const TMandantInfoRec* client) {
  std::string path;
  MandantDataPath(client, "Transactions", path);
  return path;
}

std::string SignatureStoreBaseName(const std::string& folder, const std::string& period) {
  return folder + "Sig" + period;
}

std::string JournalFileName(const std::string& folder, const std::string& year) {
  return folder + "Transactions" + year + ".ada";
}

// ---- the store ----------------------------------------------------------------------------

TSigDB::TSigDB(std::string folder, TAccessProtectionRegistry* registry)
    : folder_(std::move(folder)), registry_(registry) {}

TSigDB::~TSigDB() { CloseJournal(); }

void TSigDB::SetFolder(const std::string& folder) {
  if (folder == folder_) return;
  CloseJournal();
  folder_ = folder;
}

TAccessProtectionRegistry& TSigDB::Registry() const {
  return registry_ != nullptr ? *registry_ : AccessProtections();
}

bool TSigDB::Fail(std::string why) {
  error_ = std::move(why);
  return false;
}

bool TSigDB::SaveSignatureRecord(const std::string& period, const std::string& text1,
                                 const std::string& text2, std::string& reference,
                                 const TSignaturePoints& points) {
  reference.clear();
  error_.clear();
  // The period becomes part of a file name, and the reader accepts six digits only: any
  // other period would give a reference that never reads back.
  if (!IsSignaturePeriod(period)) return Fail("period is not yyyymm: " + period);
  if (folder_.empty()) return Fail("no signature folder");
  std::string record, compressed;
  if (!BuildSignatureRecord(text1, text2, points, record)) return Fail("signature too large");
  if (!CompressSignatureRecord(record, compressed) || compressed.empty()) {
    return Fail("cannot compress the signature");
  }
  const TSHA1Digest digest = SHA1OfBytes(compressed);
  const TCustomerCry* cry = SignatureScrambler();
  if (cry == nullptr ||
      !cry->EncryptBuffer(compressed.data(), static_cast<std::ptrdiff_t>(compressed.size()))) {
    return Fail("signature scrambler not ready");
  }

  TBinDatabase store(&Registry().Default());
  const std::string base = SignatureStoreBaseName(folder_, period);
  if (!store.OpenPair(base, false)) return Fail("cannot open " + base + ": " + store.LastError());
  std::int32_t id = 0;
  if (!store.Put(id, 0, compressed, 0)) {
    return Fail("cannot store the signature: " + store.LastError());
  }
  // The reference goes out only for a record that is on disk and reads back as written.
  std::string back;
  if (!store.Flush() || !store.Get(id, back) || back != compressed) {
    return Fail("signature does not read back: " + store.LastError());
  }
  if (!store.Close()) return Fail("cannot close " + base);
  reference = MakeSignatureReference(period, id, digest);
  return true;
}

bool TSigDB::LoadSignatureRecord(const std::string& reference, std::string& text1,
                                 std::string& text2, TSignaturePoints& points) {
  text1.clear();
  text2.clear();
  points.clear();
  error_.clear();
  TSignatureRef ref;
  if (!ParseSignatureReference(reference, ref)) return Fail("malformed signature reference");
  if (folder_.empty()) return Fail("no signature folder");
  const std::string base = SignatureStoreBaseName(folder_, ref.period);
  // Opening a pair creates what is missing; a reader must not leave empty stores behind.
  TBinDatabase probe;
  if (!FileExists(base + probe.IndexExt()) || !FileExists(base + probe.DataExt())) {
    return Fail("no signature store " + base);
  }
  std::string bytes;
  {
    TBinDatabase store(&Registry().Default());
    if (!store.OpenPair(base, false)) return Fail("cannot open " + base + ": " + store.LastError());
    const TBinDbEntry* entry = store.Find(ref.id);
    if (entry == nullptr) return Fail("no signature " + std::to_string(ref.id));
    if (static_cast<std::size_t>(entry->size) > kMaxStoredSignatureSize) {
      return Fail("signature record too large");
    }
    if (!store.Get(ref.id, bytes) || bytes.empty()) return Fail("cannot read the signature");
    store.Close();
  }
  const TCustomerCry* cry = SignatureScrambler();
  if (cry == nullptr ||
      !cry->DecryptBuffer(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()))) {
    return Fail("signature scrambler not ready");
  }
  // Nothing is unpacked before the digest says the bytes are the ones stored.
  const TSHA1Digest digest = SHA1OfBytes(bytes);
  if (!SHA1Equal(&digest, &ref.digest)) return Fail("signature damaged (digest differs)");
  if (!UnpackSignatureRecord(bytes.data(), bytes.size(), text1, text2, points)) {
    return Fail("signature record does not unpack");
  }
  return true;
}

// ---- the journal --------------------------------------------------------------------------

constexpr const char* kJournalAppName = "Tessaro";
constexpr const char* kSigBinField = "SigBin";

bool TSigDB::OpenJournalYear(const std::string& year) {
  error_.clear();
  if (!IsJournalYear(year)) return Fail("journal year is not yyyy: " + year);
  if (folder_.empty()) return Fail("no journal folder");
  if (journal_ && journal_->Opened && year == journalYear_) {
    journal_->Load();
    return true;
  }
  if (!journal_) journal_ = std::make_unique<TMiniDB>();
  journal_->Registry = &Registry();
  journal_->StationKey = StationKey;
  if (!journal_->Open(folder_, "Transactions" + year, kJournalAppName)) {
    journalYear_.clear();
    return Fail("cannot open the journal " + JournalFileName(folder_, year));
  }
  journalYear_ = year;
  return true;
}

void TSigDB::CloseJournal() {
  if (journal_) journal_->Close();
  journal_.reset();
  journalYear_.clear();
}

bool TSigDB::WriteJournalSignature(const std::string& year, std::int32_t recordId,
                                   const std::string& signatureReference,
                                   std::string& journalReference) {
  journalReference.clear();
  TSignatureRef ref;
  if (!ParseSignatureReference(signatureReference, ref)) {
    return Fail("malformed signature reference");
  }
  if (recordId < 0) return Fail("negative journal record ID");
  if (!OpenJournalYear(year)) return false;
  TMiniDB& journal = *journal_;
  // Made, filled and saved inside one write: no station reads the record without its
  // reference in between.
  TStoreWrite write(journal, recordId > 0 ? std::vector<std::int32_t>{recordId}
                                          : std::vector<std::int32_t>{});
  if (!write.Ok()) {
    return Fail(write.Blocking().empty() || write.Blocking() == "*"
                    ? "journal reservation not available"
                    : "journal record is being edited by " + write.Blocking());
  }
  std::int32_t id = recordId;
  if (id == 0) {
    id = journal.NewRecord(icTransaction);
    if (id == 0) return Fail("cannot create a journal record");
  } else if (journal.GetClass(id) != icTransaction) {
    return Fail("no journal record " + std::to_string(id));
  }
  journal.SetField(id, kSigBinField, signatureReference);
  if (!write.Commit() || journal.GetField(id, kSigBinField) != signatureReference) {
    return Fail("cannot save the journal " + journal.FileName);
  }
  journalReference = year + ":" + std::to_string(id);
  return true;
}

bool TSigDB::ReadJournalSignature(const std::string& journalReference,
                                  std::string& signatureReference) {
  signatureReference.clear();
  error_.clear();
  std::string year;
  std::int32_t id = 0;
  if (!ParseJournalReference(journalReference, year, id)) {
    return Fail("malformed journal reference");
  }
  if (folder_.empty()) return Fail("no journal folder");
  // Opening a journal that does not exist would start one (and its lock file).
  if (!FileExists(JournalFileName(folder_, year))) return Fail("no journal of " + year);
  if (!OpenJournalYear(year)) return false;
  if (journal_->GetClass(id) != icTransaction) return Fail("no journal record " + journalReference);
  signatureReference = journal_->GetField(id, kSigBinField);
  if (signatureReference.empty()) return Fail("journal record without signature");
  return true;
}

// ---- the program's instance ---------------------------------------------------------------


bool SaveSignatureRecord(const std::string& period, const std::string& text1,
                         const std::string& text2, std::string& reference,
                         const TSignaturePoints& points) {
  return SignatureDB().SaveSignatureRecord(period, text1, text2, reference, points);
}

bool LoadSignatureRecord(const std::string& reference, std::string& text1, std::string& text2,
                         TSignaturePoints& points) {
  return SignatureDB().LoadSignatureRecord(reference, text1, text2, points);
}

bool OpenJournalYear(const std::string& year) { return SignatureDB().OpenJournalYear(year); }
