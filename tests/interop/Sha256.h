// The SHA-256 of a byte string in lower-case hex, as sha256sum prints it:
// how the interop tests compare large bodies with what a server holds.
#ifndef ZELVORA_TESTS_INTEROP_SHA256_H
#define ZELVORA_TESTS_INTEROP_SHA256_H

#include <openssl/evp.h>

#include <string>

inline std::string Sha256Hex(const std::string& data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

#endif
