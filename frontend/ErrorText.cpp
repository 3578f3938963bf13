#include "frontend/ErrorText.h"

namespace {

// The texts keep their exact wording, slips and all: scripts match them.
const char* const kUnknownFailure = "Unknown failed: maybe system error";

// Indexed by code - 1; codes 1 to 16.
const char* const kErrorTexts[16] = {
    "URL format error",              // 1
    "Can't connect remote host",     // 2
    "Remote host disconnected",      // 3
    "Network failed",                // 4
    kUnknownFailure,                 // 5
    "Response format error",         // 6
    "Response body size too large",  // 7
    "Chunk size too large",          // 8
    kUnknownFailure,                 // 9
    "SSL session failed",            // 10
    kUnknownFailure,                 // 11
    kUnknownFailure,                 // 12
    kUnknownFailure,                 // 13
    kUnknownFailure,                 // 14
    "File operation failed",         // 15
    "Response gave no body length",  // 16
};

}  // namespace

const char* GetErrorText(int code) {
  if (code >= 1 && code <= 16) return kErrorTexts[code - 1];
  return kUnknownFailure;
}
