#pragma once
// Memory for large buffers that a reader fills once and keeps (the text of a million history
// lines). Pieces of 2 MiB and more are aligned to 2 MiB and offered to the system as huge
// pages: each page the process touches costs a fault, and with 4 KiB pages the faults of a
// few hundred megabytes take longer than reading the data. Smaller pieces come from the
// ordinary heap. Contents start undefined.

#include <cstddef>

// At least `bytes` bytes (null only when the system has no memory left).
char* PfAllocLarge(std::size_t bytes);
// Frees what PfAllocLarge gave (null is ignored).
void PfFreeLarge(char* block);
