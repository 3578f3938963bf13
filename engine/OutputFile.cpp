#include "engine/OutputFile.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

// Gathered writes go out in blocks of this size.
const size_t kGatherBlock = 262144;

// FileWrite counts in 32 bits: a longer write goes in slices.
int WriteAll(FileHandle file, const char* data, size_t length) {
  while (length > 0) {
    const uint32_t slice = length < (1u << 30) ? static_cast<uint32_t>(length) : (1u << 30);
    if (!FileWrite(file, data, slice, nullptr)) return 0;
    data += slice;
    length -= slice;
  }
  return 1;
}

}  // namespace

COutputFile::COutputFile() : m_Gather(0), m_Gathered(0) {}

COutputFile::~COutputFile() { Close(); }

void COutputFile::Adopt(FileHandle file) {
  Drop();
  m_File.reset(file);
  m_Gather = 0;
  if (file == nullptr || !FileIsRegular(file)) return;
  if (!m_Block) m_Block.reset(new (std::nothrow) char[kGatherBlock]);
  m_Gather = m_Block ? 1 : 0;
}

int COutputFile::Write(const char* data, size_t length) {
  if (length == 0) return 1;
  if (!m_File.get()) return 0;
  if (m_Gather) {
    if (m_Gathered + length > kGatherBlock && !Flush()) return 0;
    if (length < kGatherBlock) {
      memcpy(m_Block.get() + m_Gathered, data, length);
      m_Gathered += length;
      return 1;
    }
  }
  return WriteAll(m_File.get(), data, length);
}

int COutputFile::Flush() {
  const size_t waiting = m_Gathered;
  m_Gathered = 0;
  if (waiting == 0) return 1;
  return m_File.get() && WriteAll(m_File.get(), m_Block.get(), waiting);
}

int COutputFile::Close() {
  if (!m_File.get()) return 0;
  const int flushed = Flush();
  const int closed = m_File.Close();
  return flushed && closed;
}

void COutputFile::Drop() {
  m_Gathered = 0;
  m_File.Close();
}

FileHandle COutputFile::Release() {
  if (!Flush()) {
    m_File.Close();
    return nullptr;
  }
  return m_File.release();
}
