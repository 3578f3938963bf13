// Inflating a whole gzip or deflate body held in memory straight into an open
// file, one block at a time: the decoded text never needs a buffer of its own
// size, so a large body costs no more memory than its compressed form.
#ifndef ZELVORA_FRONTEND_DECODETOFILE_H
#define ZELVORA_FRONTEND_DECODETOFILE_H

#include "platform/FileSystem.h"

class CImpBroxCmd;

enum DecodeToFileResult {
  DECODED_TO_FILE,      // the whole stream was decoded and written
  DECODE_BAD_DATA,      // not a complete stream of the recorded encoding
  DECODE_WRITE_FAILED,  // the file took fewer bytes than asked (disk full)
  DECODE_NO_MEMORY      // zlib could not set up its state
};

// Decodes data by the recorded Content-Encoding into file, which must be open
// for writing at offset 0 and empty. The same formats as DecodeBody: gzip's
// first member; "deflate" as raw deflate, else with the zlib wrapper. On any
// result but DECODED_TO_FILE the file holds a partial result the caller must
// discard; the file stays open either way.
DecodeToFileResult DecodeBodyToFile(const CImpBroxCmd& cmd, const char* data, unsigned int length,
                                    FileHandle file);

#endif
