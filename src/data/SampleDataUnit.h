#pragma once
// Sample records: the record generator of the main window ("Datensätze erzeugen") and a
// whole realistic client for tests and benchmarks.
//
// Both run as one bulk write (TBulkWrite): the store's reservation and the lock on all
// records for the whole run, one save at its end or none. A record whose name already
// exists (within its locking system, where its class has one) is taken as it is and never
// changed: no field, no random link, no issue touches a record the run did not make.
//
// Randomness is our own (splitmix64 with a fixed range mapping), never a std::
// distribution, so one seed gives the same records on every library and machine.

#include <cstdint>
#include <string>

#include "data/StoreWriteUnit.h"

class TMiniDB;

// splitmix64: a small generator that gives the same sequence everywhere.
class TSampleRandom {
 public:
  explicit TSampleRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // 0 .. n-1 (0 when n < 1), by the upper 32 bits scaled: no modulo, no library mapping.
  int32_t Below(int32_t n);
  // lo .. hi, both included.
  int32_t Range(int32_t lo, int32_t hi) { return lo + Below(hi - lo + 1); }
  // True with a chance of `percent` in 100.
  bool Chance(int32_t percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

// The generator's counts: at most this many records per run.
inline constexpr int32_t kSampleMaxCount = 20000;

// The two number fields of the window, checked and corrected as the window shows them.
enum class TSampleInputCheck {
  Ok,             // count (clamped to kSampleMaxCount) and first number usable
  CountTooSmall,  // count below 1: `countText` is now "1", nothing is generated
  FirstTooSmall,  // first number below 1: `firstText` is now "1", nothing is generated
};
TSampleInputCheck CheckSampleInput(std::string& countText, std::string& firstText, int32_t& count,
                                   int32_t& first);

// One run of the generator.
struct TSampleRequest {
  int Class = 3;             // door 3, key 4, person 5, cylinder 6
  int32_t Count = 100;       // records wanted (1 .. kSampleMaxCount)
  int32_t First = 1;         // the number of the first record
  std::string Prefix;        // name prefix, blank included when not empty
  std::string Remark;        // "r" of every new record
  int32_t KeySystem = 0;     // locking-system code of keys and cylinders (0 = none)
  int32_t Building = 0;      // building of doors and persons (0 = none)
  bool RandomLinks = false;  // link new records at random (and issue keys to persons)
  int32_t UserId = 0;        // the user who issues keys to new persons
};

struct TSampleOutcome {
  bool Began = false;    // the bulk run began (false: Blocking says why)
  std::string Blocking;  // see TBulkWrite::Blocking
  TBulkResult Result = TBulkResult::Failed;
  int32_t Created = 0;  // new records saved
  int32_t Reused = 0;   // records of that name that existed and stayed as they were
  int32_t Issued = 0;   // keys issued to new persons
  bool Cancelled = false;
};

// Runs the generator on `db` (see the file's top). Progress every 16 records; a cancel
// keeps the records made so far, a failure saves nothing. Every new record gets its
// history line "a=New" after the save.
TSampleOutcome GenerateSampleRecords(TMiniDB& db, const TSampleRequest& request, uint64_t seed,
                                     const TBulkProgress& progress = {});

// The closing message of a run: the new records, and the existing ones taken unchanged.
std::string SampleDoneText(int32_t created, int32_t reused);

// Tells the user why a bulk run could not begin (another station, or the store busy).
void TellBulkRefused(TMiniDB& db, const std::string& blocking);

// A realistic client of about `records` records on the (open, empty or not) store:
// buildings, doors with cylinders, a tree of locking groups, general master, master, group
// and single keys with stock and key cabinets, persons with departments and numbers, and
// holdings booked as issues (with their history lines). The same seed and the same clock
// give the same store and history byte for byte. Result as GenerateSampleRecords.
TSampleOutcome GenerateSampleClient(TMiniDB& db, int32_t records, uint64_t seed,
                                    const TBulkProgress& progress = {});
