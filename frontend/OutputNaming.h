// Naming the output file: what a response head says about the body's type
// and name, the mapping of a media subtype to a file extension, and (in
// OutputNaming.cpp) the path built from them or from the URL,
// CImpBroxCmd::MakeOutputPathFile and CImpBroxCmd::GetOutputPathFile.
#ifndef ZELVORA_FRONTEND_OUTPUTNAMING_H
#define ZELVORA_FRONTEND_OUTPUTNAMING_H

#include <string>

class CImpBroxCmd;

// Splits a Content-Type value at every ";" and records its media type (the
// last part without "=") in cmd.m_MediaType. Returns 1.
int ParseContentType(const char* value, CImpBroxCmd& cmd);
// One blank-trimmed part of a Content-Type value.
void ParseContentTypeItem(CImpBroxCmd& cmd, char* part);

// Splits a Content-Disposition value at every ";" and records its "name" and
// "filename" parameters in cmd.m_DispositionName and cmd.m_DispositionFileName,
// as sent. Returns 1.
int ParseContentDisposition(const char* value, CImpBroxCmd& cmd);
// One blank-trimmed part of a Content-Disposition value; may cut it at "=".
void ParseContentDispositionItem(CImpBroxCmd& cmd, char* part);

// The extension for the subtype of cmd.m_MediaType (".png", ".html", ...), or
// the empty string.
std::string GetExtByContentType(const CImpBroxCmd& cmd);

// A name sent by the server made safe to use inside the target directory:
// only the text after its last "/" or "\", reserved characters and control
// bytes replaced by "_". Empty when nothing usable is left ("", "." or "..").
std::string CleanResponseFileName(const std::string& name);

#endif
