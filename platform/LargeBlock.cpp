#include "platform/LargeBlock.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

const uintptr_t kHugePage = 2u * 1024u * 1024u;
// Below this the saving is too small to be worth a system call.
const size_t kAdviseFrom = 4u * 1024u * 1024u;

}  // namespace

void AdviseLargeBlock(void* block, size_t length) {
#ifdef MADV_HUGEPAGE
  if (block == nullptr || length < kAdviseFrom) return;
  // Only whole huge pages inside the block are named, so no byte outside it
  // is ever touched by the hint.
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + length) & ~(kHugePage - 1);
  if (end <= first) return;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)length;
#endif
}
