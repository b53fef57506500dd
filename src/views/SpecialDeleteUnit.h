#pragma once
// The special functions over the whole client's data. So far: the links of records to
// buildings that are gone.

#include <cstdint>

class TMiniDB;

// Removes from every valid record of the class its links to buildings (kind 2) that are no
// valid buildings any more, in one write over those records. Unless quiet, the user's right
// for buildings is asked first. The number of links removed; -1 when refused (the right,
// or a record held by another station, who is named unless quiet).
int RemoveDanglingBuildingLinks(TMiniDB& db, int cls, bool quiet);
