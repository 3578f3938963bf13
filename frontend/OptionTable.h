// The program's command-line vocabulary: which tokens are options, which of
// them take a value, and the usage text that lists them.
#ifndef ZELVORA_FRONTEND_OPTIONTABLE_H
#define ZELVORA_FRONTEND_OPTIONTABLE_H

// The classifier CArgParse::Parse installs. Sets *takesValue to 0 first;
// returns 1 for a token of the option table (then *takesValue is 1 for the
// options that take a value), 0 for any other token.
int ClassifyOption(const char* token, int* takesValue);

// Writes the usage text to standard output.
void PrintUsage();

#endif
