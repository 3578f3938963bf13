// What a response's Content-Encoding value says about its body.
#ifndef ZELVORA_ENGINE_CONTENTENCODING_H
#define ZELVORA_ENGINE_CONTENTENCODING_H

#include <string>

// 1 when the value is "gzip" or "deflate" (any case, the whole value: no
// list, no parameters), the two codings the program can undo; else 0.
int IsCompressedEncoding(const std::string& encoding);

#endif
