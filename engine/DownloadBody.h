// Steps of a download that run inside the response reading, between the
// head and the first body byte written to the output file.
#ifndef ZELVORA_ENGINE_DOWNLOADBODY_H
#define ZELVORA_ENGINE_DOWNLOADBODY_H

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

class CHttpClient;

// Decides where a 2xx body of a download goes before any of it is written:
// a 206 continues a resumed file only when its Content-Range is there and
// starts at the file's old size; a whole-body answer to a
// resume request goes to a side file so the old bytes survive a failure.
// Returns 1, or 0 with m_ErrorCode set.
int PrepareDownloadBody(CHttpClient& client);

// The first byte position of a "bytes first-last/total" Content-Range value.
// 1 with *first set when the value reads so, else 0.
int ParseContentRangeStart(const std::string& value, uint64_t* first);

// Replaces everything from base to the end of the open file with the given
// bytes, then closes the file. Returns 1 only when every byte was written and
// the close succeeded (the file is closed either way). On a file that is not
// regular nothing is cut; the bytes are written where the file stands.
int RewriteFileFrom(FileHandle file, uint64_t base, const char* data, uint32_t length);

#endif
