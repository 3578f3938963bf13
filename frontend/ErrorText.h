// The words shown for the engine's result codes.
#ifndef ZELVORA_FRONTEND_ERRORTEXT_H
#define ZELVORA_FRONTEND_ERRORTEXT_H

// The message for an HttpError value; every code without a message of its
// own (0 and negative values included) gives the unknown-failure text.
// Never NULL.
const char* GetErrorText(int code);

#endif
