// Pieces of the multipart/form-data upload body.
#ifndef ZELVORA_ENGINE_MULTIPART_H
#define ZELVORA_ENGINE_MULTIPART_H

#include <string>

// A new GUID as 32 hexadecimal digits, the third group in lower case;
// empty when no GUID could be made.
std::string CreateGuidString();
// The boundary of one upload: a fixed text around a new CreateGuidString.
std::string MakeMimeBoundary();
// The opening of the file's part up to its blank line: the boundary line,
// Content-Disposition with name as the form name and the file name (its
// control bytes and quotes as %XX), and the Content-Type. NULL stands for
// an empty name or boundary.
std::string BuildFilePartHeader(const char* name, const char* boundary);

#endif
