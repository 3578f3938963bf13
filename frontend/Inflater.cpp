#include "frontend/Inflater.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <new>

namespace {

// Large enough that a writer sees few calls, small enough to stay in the
// cache while zlib fills it.
const size_t kInflateBlock = 256 * 1024;
// zlib counts its input in 32 bits: a longer piece goes in slices.
const size_t kMostPerCall = 1u << 30;

const int kGzipWindow = 31;
const int kZlibWindow = 15;
const int kRawWindow = -15;

}  // namespace

int HasZlibHeader(const char* data, unsigned int length) {
  if (data == NULL || length < 2) return 0;
  unsigned int cmf = static_cast<unsigned char>(data[0]);
  unsigned int flg = static_cast<unsigned char>(data[1]);
  if ((cmf & 0x0f) != 8 || (cmf >> 4) > 7) return 0;
  if ((cmf * 256 + flg) % 31 != 0) return 0;
  return (flg & 0x20) == 0;
}

CInflater::CInflater()
    : m_Format(CODING_GZIP),
      m_State(INFLATE_BAD_DATA),
      m_Started(0),
      m_AtStreamEnd(0),
      m_Fed(0),
      m_FirstByte(0) {}

CInflater::~CInflater() {
  if (m_Started) inflateEnd(m_Stream.get());
}

void CInflater::Begin(ContentCoding coding) {
  if (m_Started) inflateEnd(m_Stream.get());
  m_Started = 0;
  m_AtStreamEnd = 0;
  m_Fed = 0;
  m_Format = coding;
  m_State = INFLATE_OK;
}

InflateResult CInflater::Fail(InflateResult result) {
  m_State = result;
  return result;
}

InflateResult CInflater::Start(int windowBits) {
  if (!m_Stream) m_Stream.reset(new (std::nothrow) z_stream_s);
  if (!m_Block) m_Block.reset(new (std::nothrow) char[kInflateBlock]);
  if (!m_Stream || !m_Block) return Fail(INFLATE_NO_MEMORY);
  memset(m_Stream.get(), 0, sizeof(z_stream_s));
  const int status = inflateInit2(m_Stream.get(), windowBits);
  if (status != Z_OK) return Fail(status == Z_MEM_ERROR ? INFLATE_NO_MEMORY : INFLATE_BAD_DATA);
  m_Started = 1;
  return INFLATE_OK;
}

InflateResult CInflater::Feed(const char* data, size_t length, BodyWriter write, void* param) {
  if (m_State != INFLATE_OK) return m_State;
  if (length == 0) return INFLATE_OK;
  if (data == nullptr || write == nullptr) return Fail(INFLATE_BAD_DATA);
  if (!m_Started) {
    if (m_Format == CODING_GZIP) {
      if (Start(kGzipWindow) != INFLATE_OK) return m_State;
    } else {
      // HTTP's "deflate" is the zlib format, but many servers send it raw:
      // the first two bytes tell which.
      if (m_Fed == 0 && length == 1) {
        m_FirstByte = data[0];
        m_Fed = 1;
        return INFLATE_OK;
      }
      char head[2] = {m_Fed == 1 ? m_FirstByte : data[0], m_Fed == 1 ? data[0] : data[1]};
      if (Start(HasZlibHeader(head, 2) ? kZlibWindow : kRawWindow) != INFLATE_OK) return m_State;
      if (m_Fed == 1 && Run(&m_FirstByte, 1, write, param) != INFLATE_OK) return m_State;
    }
  }
  m_Fed += length;
  while (length > 0) {
    const size_t slice = length < kMostPerCall ? length : kMostPerCall;
    if (Run(data, slice, write, param) != INFLATE_OK) return m_State;
    data += slice;
    length -= slice;
  }
  return INFLATE_OK;
}

InflateResult CInflater::Run(const char* data, size_t length, BodyWriter write, void* param) {
  z_stream_s& stream = *m_Stream;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = static_cast<uInt>(length);
  // zlib may hold decoded bytes back when the block fills up: it is called
  // again until it leaves room in the block.
  int blockFilled = 0;
  for (;;) {
    if (m_AtStreamEnd) {
      if (stream.avail_in == 0) break;
      // Nothing may follow a deflate stream; after a gzip member only
      // another member may.
      if (m_Format == CODING_DEFLATE) return Fail(INFLATE_BAD_DATA);
      if (inflateReset(&stream) != Z_OK) return Fail(INFLATE_BAD_DATA);
      m_AtStreamEnd = 0;
    }
    if (stream.avail_in == 0 && !blockFilled) break;
    stream.next_out = reinterpret_cast<Bytef*>(m_Block.get());
    stream.avail_out = static_cast<uInt>(kInflateBlock);
    const int status = inflate(&stream, Z_NO_FLUSH);
    const size_t produced = kInflateBlock - stream.avail_out;
    blockFilled = stream.avail_out == 0;
    if (status == Z_STREAM_END) {
      m_AtStreamEnd = 1;
    } else if (status == Z_BUF_ERROR) {
      // Nothing more to do with what it has: the rest comes with the next piece.
      if (produced == 0) break;
    } else if (status != Z_OK) {
      return Fail(status == Z_MEM_ERROR ? INFLATE_NO_MEMORY : INFLATE_BAD_DATA);
    }
    if (produced > 0 && !write(param, m_Block.get(), produced)) return Fail(INFLATE_WRITE_FAILED);
  }
  return INFLATE_OK;
}

InflateResult CInflater::Finish() {
  if (m_State != INFLATE_OK) return m_State;
  // No byte at all is an empty body: nothing to decode.
  if (m_Fed == 0) return INFLATE_OK;
  return m_AtStreamEnd ? INFLATE_OK : Fail(INFLATE_BAD_DATA);
}

void CInflateChain::Begin(const std::vector<ContentCoding>& codings) {
  m_Count = codings.size() <= kMostContentCodings ? codings.size() : 0;
  for (size_t i = 0; i < m_Count; ++i) {
    // The last coding applied is the first undone.
    m_Stages[i].Begin(codings[m_Count - 1 - i]);
  }
  for (size_t i = 0; i <= m_Count; ++i) m_Links[i] = Link{this, i};
}

int CInflateChain::PassOn(void* param, const char* data, size_t length) {
  const Link& link = *static_cast<Link*>(param);
  CInflateChain& chain = *link.m_Chain;
  if (link.m_Next == chain.m_Count) return chain.m_Write(chain.m_Param, data, length);
  return chain.m_Stages[link.m_Next].Feed(data, length, PassOn, &chain.m_Links[link.m_Next + 1]) ==
         INFLATE_OK;
}

InflateResult CInflateChain::Failure() const {
  // A decoder that fails makes each one before it fail to write: the cause
  // is the last that failed.
  for (size_t i = m_Count; i-- > 0;) {
    if (m_Stages[i].State() != INFLATE_OK) return m_Stages[i].State();
  }
  return INFLATE_OK;
}

InflateResult CInflateChain::Feed(const char* data, size_t length, BodyWriter write, void* param) {
  // No coding at all decodes nothing.
  if (m_Count == 0) return INFLATE_BAD_DATA;
  m_Write = write;
  m_Param = param;
  if (m_Stages[0].Feed(data, length, PassOn, &m_Links[1]) == INFLATE_OK) return INFLATE_OK;
  return Failure();
}

InflateResult CInflateChain::Finish() {
  if (m_Count == 0) return INFLATE_BAD_DATA;
  // Each decoder has handed on all it made: the inner ones are finished
  // after the one that fed them.
  for (size_t i = 0; i < m_Count; ++i) {
    if (m_Stages[i].Finish() != INFLATE_OK) return Failure();
  }
  return INFLATE_OK;
}
