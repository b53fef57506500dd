#include "platform/LargeMemory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

char* PfAllocLarge(std::size_t bytes) {
  if (bytes < kHugePage) return static_cast<char*>(std::malloc(bytes == 0 ? 1 : bytes));
  const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* block = std::aligned_alloc(kHugePage, size);
  // Only a hint: where the system has no huge pages the block works the same.
  if (block) madvise(block, size, MADV_HUGEPAGE);
  return static_cast<char*>(block);
}

void PfFreeLarge(char* block) { std::free(block); }
