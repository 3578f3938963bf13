// Pieces of the multipart/form-data upload body.
#ifndef ZELVORA_ENGINE_MULTIPART_H
#define ZELVORA_ENGINE_MULTIPART_H

#include <string>

std::string CreateGuidString();
std::string MakeMimeBoundary();
std::string BuildFilePartHeader(const char* name, const char* boundary);

#endif
