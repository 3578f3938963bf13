// The running process: where its executable is (the front end looks for
// files beside it).
#ifndef ZELVORA_PLATFORM_PROCESS_H
#define ZELVORA_PLATFORM_PROCESS_H

#include <cstdint>

// Full path of the running executable into buffer (size bytes, terminator
// included). Returns the length of the path (terminator not counted), or 0
// on failure or when the path does not fit: it is never cut silently.
uint32_t ProcessGetExecutablePath(char* buffer, uint32_t size);

#endif
