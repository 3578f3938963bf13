// Standard output, the terminal's cursor and the keyboard: unformatted
// writes that keep their order with printf, and the cursor moves of the
// progress display.
#ifndef ZELVORA_PLATFORM_CONSOLE_H
#define ZELVORA_PLATFORM_CONSOLE_H

#include <cstdint>

// Writes bytes unformatted to standard output. The C library's buffered
// output (printf) is flushed first, so both kinds of output appear in the
// order they were made. Loops until every byte is out. Returns 1, or 0 when
// standard output failed.
int ConsoleWrite(const void* data, uint32_t length);

// Flushes the C library's standard output and the handle. Returns 1, or 0 on failure.
int ConsoleFlush();

// Remembers the cursor position of standard output (terminal only). Returns
// 1 when saved; 0 when standard output is not a terminal, and then nothing is
// written.
int ConsoleSaveCursor();

// Moves the cursor back to the position last saved (terminal only). Returns
// 1, or 0 when standard output is not a terminal (nothing written).
int ConsoleRestoreCursor();

// Clears from the cursor to the end of the line (terminal only). Returns 1,
// or 0 when standard output is not a terminal (nothing written).
int ConsoleClearToLineEnd();

// Puts a terminal on standard input into its key mode: no line editing and
// no echo, signal keys kept (Ctrl-C still interrupts), so a key press is
// taken as it is typed and never shown. A prompt is shown only after this, so
// that a key pressed the moment it appears is not echoed. The mode stays
// until ConsoleRestoreTerminalMode; a second interrupt puts it back before it
// ends the process. Returns 1 when the terminal is in key mode (now or
// already), 0 when standard input is not a terminal or its mode could not be
// changed.
int ConsoleEnterKeyMode();

// Reads one character from standard input. On a terminal it takes one key
// press as it is typed, without Enter and without echo, and gives its first
// byte: the rest of what the press sent (an arrow's ESC [ A, a UTF-8
// character's other bytes) is dropped, so one press is one character; keys
// typed ahead count one each. In key mode (ConsoleEnterKeyMode) the mode
// stays as it is; otherwise the read sets it for the wait and puts it back
// before it returns, whatever ended the wait. From a pipe or a file it reads
// the next byte (getchar). Returns the character, or -1 at the end of input,
// on a read failure or once an interrupt has come (InterruptRequested),
// before or during the wait; never waits at the end of input.
int ConsoleReadChar();

// Puts back the terminal mode from before key mode; does nothing when the
// mode is not changed. Safe in a signal handler: entering key mode makes it
// the interrupt's last action (InterruptSetLastAction), so a second
// interrupt calls it before it ends the process.
void ConsoleRestoreTerminalMode();

// Key mode for the life of a scope: entered on construction when `wanted`
// and the terminal is not in key mode yet, and then put back by the
// destructor on every way out. Inside a scope that already holds key mode it
// changes nothing, so scopes nest.
class CConsoleKeyMode {
 public:
  explicit CConsoleKeyMode(bool wanted);
  ~CConsoleKeyMode() {
    if (m_Entered) ConsoleRestoreTerminalMode();
  }
  CConsoleKeyMode(const CConsoleKeyMode&) = delete;
  CConsoleKeyMode& operator=(const CConsoleKeyMode&) = delete;

 private:
  bool m_Entered;
};

#endif
