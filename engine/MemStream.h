// A growable byte buffer on the C heap: bytes are appended at the end and
// taken from the front, and a zero byte follows the data whenever the block
// has room for it.
#ifndef ZELVORA_ENGINE_MEMSTREAM_H
#define ZELVORA_ENGINE_MEMSTREAM_H

typedef void (*MemStreamWriteHook)(const char* data, unsigned int length, void* param);
typedef void* (*MemStreamAllocHook)(unsigned int size);
typedef void (*MemStreamFreeHook)(void* block);
typedef void* (*MemStreamReallocHook)(void* block, unsigned int size);

class CMemStream {
 public:
  CMemStream();
  virtual ~CMemStream();
  CMemStream(const CMemStream&) = delete;
  CMemStream& operator=(const CMemStream&) = delete;

  int Alloc(unsigned int size);
  int Reserve(unsigned int needed);
  int Write(const char* data, unsigned int length, unsigned int* written);
  int Read(char* out, unsigned int length, unsigned int* taken);
  void Clear();

  unsigned int m_Position;
  char* m_Data;
  unsigned int m_Capacity;
  unsigned int m_Length;
  unsigned int m_MaxLength;
  MemStreamWriteHook m_OnWrite;
  void* m_OnWriteParam;
  MemStreamAllocHook m_AllocHook;
  MemStreamFreeHook m_FreeHook;
  MemStreamReallocHook m_ReallocHook;
  // Bytes from the start of the block that may be non-zero; beyond them the
  // block is known to be zero, so Clear has less to fill.
  unsigned int m_DirtyLength;
 private:
  // Frees the block and resets everything that described it.
  void ReleaseBlock();
};

#endif
