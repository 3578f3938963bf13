// The front end's three engine callbacks and the saved console position that
// the progress text returns to.
#ifndef ZELVORA_FRONTEND_ENGINECALLBACKS_H
#define ZELVORA_FRONTEND_ENGINECALLBACKS_H

#include <cstdint>

class CHttpClient;
class CImpBroxCmd;

// The console state of standard output around progress output.
struct ConsoleInfo {
  int m_Saved;         // 1 when a cursor position was saved on a terminal
  int m_ProgressOpen;  // 1 when a progress text ends the output, no line end after it
};

extern ConsoleInfo g_ConsoleInfo;

// 1 when the run shows progress texts: "-progress" for a body that goes to a
// file (every file of a batch too) or for an upload. A body shown on the
// console never has one.
int ProgressShown(const CImpBroxCmd& cmd);

// Called after the label of a transfer's line ("Upload ...", "Download ...")
// was printed: when progress is shown, the texts of the transfer stand from
// here on that line.
void BeginProgressLine(const CImpBroxCmd& cmd);

// Ends the line the progress texts stand on with "\r\n", written or not yet,
// so that what follows starts a line of its own.
void CloseProgressLine();

// The same only when a progress text ends the output so far (before a
// message); writes nothing otherwise.
void EndProgressLine();

// Saves the cursor position of standard output into g_ConsoleInfo, so that
// the following progress texts are written there. Writes nothing when
// standard output is not a terminal.
void SaveConsolePosition();

// Records media type and disposition of the response in the driver
// (param), and the client as the one whose answer is current (its coding
// list is read there), and in a single request prints the head.
void OnResponseHead(CHttpClient* client, const char* headText, void* param);

// Streams a raw body piece to the console under -origin without an output
// file in a single request.
void OnResponseData(CHttpClient* client, const char* data, int length, void* param);

// Shows the progress text in place under -progress for file downloads and
// uploads.
void OnProgress(CHttpClient* client, uint64_t total, uint64_t done, void* param);

// The progress text for one call, at most 63 characters. Exposed for tests.
void FormatProgressText(char* text, unsigned int size, int chunked, uint64_t total, uint64_t done);

#endif
