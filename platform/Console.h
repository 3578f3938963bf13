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

// Reads one character from standard input. On a terminal it takes one key
// press as it is typed, without Enter and without echo, and gives its first
// byte: the rest of what the press sent (an arrow's ESC [ A, a UTF-8
// character's other bytes) is dropped, so one press is one character; keys
// typed ahead count one each. It puts the terminal's
// mode back before it returns, whatever ended the wait. From a pipe or a file
// it reads the next byte (getchar). Returns the character, or -1 at the end
// of input, on a read failure or once an interrupt has come
// (InterruptRequested), before or during the wait; never waits at the end of
// input.
int ConsoleReadChar();

// Puts back the terminal mode that ConsoleReadChar changed while it waits;
// does nothing at any other time. Safe in a signal handler: the wait makes
// it the interrupt's last action (InterruptSetLastAction), so a second
// interrupt calls it before it ends the process.
void ConsoleRestoreTerminalMode();

#endif
