// Hints to the system about big heap blocks.
#ifndef ZELVORA_PLATFORM_LARGEBLOCK_H
#define ZELVORA_PLATFORM_LARGEBLOCK_H

#include <cstddef>

// Asks for a block of at least a few MiB to be backed by huge pages where the
// system offers them on request. A block that is written once from its start
// (a decoded body) then takes one page fault per 2 MiB instead of one per
// 4 KiB. Only a hint: the block's contents and size never change, and a
// refused or unsupported hint is silently ignored.
void AdviseLargeBlock(void* block, size_t length);

#endif
