// Response bodies on the console: the whole body after a transfer, and any
// buffer paged in pieces of the step size.
#ifndef ZELVORA_FRONTEND_CONSOLEDISPLAY_H
#define ZELVORA_FRONTEND_CONSOLEDISPLAY_H

class CHttpClient;
class CImpBroxCmd;

// Shows the client's body (de-chunked when chunked), its codings undone when
// the recorded Content-Encoding lists only codings the program knows
// (IsCompressed) and -compress was not given.
// 1 when it was shown; 0 for a body that does not inflate, of which
// nothing is shown.
int OutputResponseBody(const CHttpClient& client, const CImpBroxCmd& cmd);

// Writes length bytes to standard output in pieces of stepSize bytes. With a
// non-zero step flag, a three-line banner and a wait for one character of
// standard input come before every piece, the first included (one key on a
// terminal, where the paging runs in the terminal's key mode from before the
// first banner to after the last piece). An interrupt at the wait ends the
// paging there: no further piece is written. A length of 0 writes nothing
// and does not wait.
void OutputStepByStep(unsigned int length, const char* data, int step, unsigned short stepSize);

#endif
