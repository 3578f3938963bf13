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
  ~CMemStream();
  CMemStream(const CMemStream&) = delete;
  CMemStream& operator=(const CMemStream&) = delete;

  // Frees any block and makes a zero-filled one of size bytes (at most
  // 128 MiB); the length becomes 0. 1, or 0 with no block at all.
  int Alloc(unsigned int size);
  // 1 when the block holds at least needed bytes, growing it by half again
  // until it does; 0 when it cannot grow (the old block and data stay).
  // Growth may move the block: pointers into m_Data do not survive it.
  int Reserve(unsigned int needed);
  // Appends length bytes, growing the block as needed, and calls m_OnWrite.
  // 1 with *written = length; 0 with nothing appended when the data would not
  // fit 32 bits, the length is past m_MaxLength (0: no limit) or growth fails.
  int Write(const char* data, unsigned int length, unsigned int* written);
  // Takes up to length bytes from the front into out and moves the rest
  // forward. 1 with *taken bytes; 0 with *taken 0 when the stream is empty.
  int Read(char* out, unsigned int length, unsigned int* taken);
  // Drops the first count bytes (all of them when count is past the length)
  // with one move of the rest to the front.
  void DropFront(unsigned int count);
  // Cuts the data back to its first length bytes and zero-fills what was cut;
  // a length at or past the data's changes nothing.
  void CutEnd(unsigned int length);
  // Empties the stream and zero-fills the bytes it may have used; the block
  // and its capacity stay. The destructor frees the block without a fill.
  void Clear();

  // The block (NULL before Alloc or after a failed one) and its size; the
  // stream owns it. Pointers into it last until the next growth or Alloc.
  char* m_Data;
  unsigned int m_Capacity;
  // Bytes of data at the front of the block.
  unsigned int m_Length;
  // Once m_Length is past it, Write refuses more; 0 for no limit.
  unsigned int m_MaxLength;
  // Called with every appended piece, after it is in.
  MemStreamWriteHook m_OnWrite;
  void* m_OnWriteParam;
  // Stand-ins for malloc, free and realloc (NULL: the C heap's own), so that
  // tests can make the block fail.
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
