#include "engine/MemStream.h"

#include <cstdlib>
#include <cstring>

namespace {
const unsigned int kMaxAlloc = 134217728;  // 128 MiB
// Growth from a capacity of 0 or 1 would never move under the 1.5 rule.
const unsigned int kMinCapacity = 4096;
}  // namespace

CMemStream::CMemStream()
    : m_Data(NULL),
      m_Capacity(0),
      m_Length(0),
      m_MaxLength(0),
      m_OnWrite(NULL),
      m_OnWriteParam(NULL),
      m_AllocHook(NULL),
      m_FreeHook(NULL),
      m_ReallocHook(NULL),
      m_DirtyLength(0) {}

CMemStream::~CMemStream() { ReleaseBlock(); }

void CMemStream::ReleaseBlock() {
  if (m_FreeHook)
    m_FreeHook(m_Data);
  else
    free(m_Data);
  m_Data = NULL;
  m_Capacity = 0;
  m_MaxLength = 0;
  m_DirtyLength = 0;
}

int CMemStream::Alloc(unsigned int size) {
  if (size > kMaxAlloc) size = kMaxAlloc;
  ReleaseBlock();
  // The old bytes are gone with their block; a length kept from it would let
  // a later Read copy from past the new one.
  m_Length = 0;
  char* block = static_cast<char*>(m_AllocHook ? m_AllocHook(size) : malloc(size));
  if (!block) return 0;
  m_Data = block;
  memset(m_Data, 0, size);
  m_Capacity = size;
  return 1;
}

int CMemStream::Reserve(unsigned int needed) {
  if (m_Capacity >= needed) return 1;
  // Only 0 and 1 get the minimum; every other capacity grows by the 1.5 rule.
  double capacity = m_Capacity < 2 ? kMinCapacity : m_Capacity;
  while (capacity < needed) capacity = static_cast<double>(static_cast<unsigned long long>(capacity * 1.5));
  // A size that does not fit 32 bits cannot be held.
  if (capacity > 4294967295.0) return 0;
  unsigned int newCapacity = static_cast<unsigned int>(capacity);
  void* block = m_ReallocHook ? m_ReallocHook(m_Data, newCapacity) : realloc(m_Data, newCapacity);
  if (!block) return 0;
  m_Data = static_cast<char*>(block);
  m_Capacity = newCapacity;
  // The grown part holds whatever the heap left there.
  m_DirtyLength = newCapacity;
  return 1;
}

int CMemStream::Write(const char* data, unsigned int length, unsigned int* written) {
  if (length == 0) return 1;
  if (m_MaxLength != 0 && m_Length > m_MaxLength) return 0;
  // The sum must fit 32 bits, and the block must really cover it.
  if (length > 0xFFFFFFFFu - m_Length) return 0;
  unsigned int needed = m_Length + length;
  if (needed >= m_Capacity && !Reserve(needed)) return 0;
  if (!m_Data || needed > m_Capacity) return 0;
  if (written) *written = length;
  memcpy(m_Data + m_Length, data, length);
  m_Length = needed;
  if (m_Length > m_DirtyLength) m_DirtyLength = m_Length;
  if (m_Length < m_Capacity) m_Data[m_Length] = 0;
  if (m_OnWrite) m_OnWrite(data, length, m_OnWriteParam);
  return 1;
}

int CMemStream::Read(char* out, unsigned int length, unsigned int* taken) {
  if (taken) *taken = 0;
  if (length == 0) return 1;
  unsigned int count = length < m_Length ? length : m_Length;
  if (taken) *taken = count;
  if (count == 0) return 0;
  memcpy(out, m_Data, count);
  DropFront(count);
  return 1;
}

void CMemStream::DropFront(unsigned int count) {
  if (count == 0 || !m_Data) return;
  if (count > m_Length) count = m_Length;
  const unsigned int rest = m_Length - count;
  memmove(m_Data, m_Data + count, rest);
  m_Length = rest;
  // The data never fills the block after a drop, so the zero always fits.
  m_Data[rest] = 0;
}

void CMemStream::CutEnd(unsigned int length) {
  if (length >= m_Length || !m_Data) return;
  memset(m_Data + length, 0, m_Length - length);
  m_Length = length;
}

void CMemStream::Clear() {
  if (!m_Data) return;
  // After a big body the block stays big; zero-filling all of it before every
  // later request of a run would cost far more than that request.
  unsigned int dirty = m_DirtyLength > m_Length ? m_DirtyLength : m_Length;
  if (dirty > m_Capacity) dirty = m_Capacity;
  memset(m_Data, 0, dirty);
  m_DirtyLength = 0;
  m_Length = 0;
}
