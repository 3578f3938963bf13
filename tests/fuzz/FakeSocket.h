// A stand-in for the socket layer that plays a script of bytes from memory:
// every receive hands out the next piece of the script, sends are swallowed.
// Only the fuzz targets link it, in place of the real socket layer.
#ifndef ZELVORA_FUZZ_FAKESOCKET_H
#define ZELVORA_FUZZ_FAKESOCKET_H

#include <cstddef>
#include <cstdint>

// Makes the next receives serve data (not copied: it must outlive them).
// Piece sizes are taken in turn from pieceSizes (0 means as much as the
// caller's buffer takes); no sizes means whole buffers. When the data is
// used up a receive reports a closed peer, or a time-out when endWithError.
void FakeSocketServe(const uint8_t* data, size_t size, const uint8_t* pieceSizes,
                     size_t pieceCount, int endWithError);

// Bytes handed out since the last FakeSocketServe.
size_t FakeSocketServed();

#endif
