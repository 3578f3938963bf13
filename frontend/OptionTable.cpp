#include "frontend/OptionTable.h"

#include <cstdio>
#include <cstring>

#include <openssl/crypto.h>

#include "platform/CRuntime.h"

namespace {

// "-o" and "-O" differ by case alone, so only they are matched exactly.
const char* const kAnyCaseWithValue[] = {"-u", "-d", "-h", "-p", "-step"};
const char* const kAnyCaseFlags[] = {"-file",     "-head",   "-origin", "-compress", "-append",
                                     "-progress", "-help",   "-?",      "-ssl"};

int InList(const char* token, const char* const* list, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (StrICmp(token, list[i]) == 0) return 1;
  }
  return 0;
}

}  // namespace

int ClassifyOption(const char* token, int* takesValue) {
  *takesValue = 0;
  if (strcmp(token, "-o") == 0) {
    *takesValue = 1;
    return 1;
  }
  if (strcmp(token, "-O") == 0) return 1;
  if (InList(token, kAnyCaseWithValue, sizeof(kAnyCaseWithValue) / sizeof(kAnyCaseWithValue[0]))) {
    *takesValue = 1;
    return 1;
  }
  if (InList(token, kAnyCaseFlags, sizeof(kAnyCaseFlags) / sizeof(kAnyCaseFlags[0]))) return 1;
  return 0;
}

// The usage text is part of the program's interface: scripts and tests
// compare it byte for byte, its spelling slips ("setp", "specifed") included.
void PrintUsage() {
  printf("\r\n");
  // The one line that ends in a bare "\n", on purpose: it is part of the
  // text that scripts compare byte for byte.
  printf("openssl version : %s\n", OpenSSL_version(OPENSSL_VERSION));
  printf("example: zelvora www.example.com\r\n\r\n");
  printf("  The following parameter need value:\r\n");
  printf("  -o    : output http-response to specified pathfile\r\n");
  printf("          zelvora https://www.example.com -o c:/example.html\r\n");
  printf("  -u    : upload pathfile to specified URL\r\n");
  printf("          zelvora https://www.example.com/upload -u c:/file.html\r\n");
  printf("  -d    : post-data string or post-data file if \"-file\" exist\r\n");
  printf("          zelvora https://www.example.com/xxx.do -d \"username=u&password=p\"\r\n");
  printf("          zelvora https://www.example.com/xxx.do -d \"c:/post.txt\" -file\r\n");
  printf("  -h    : request-head string or request-head file if \"-file\" exist\r\n");
  printf("          zelvora https://www.example.com/xxx.do -h \"Content-Type: text/html\"\r\n");
  printf("          zelvora https://www.example.com/xxx.do -h \"c:/head.txt\" -file\r\n");
  printf("  -p    : batch download URL to specified path if \"-O\" exist\r\n");
  printf("          zelvora https://www.example.com/tu[0-100].jpg -p c:\\temp -O\r\n");
  printf("          zelvora https://www.example.com/tu[00-100].jpg -p c:\\temp -O\r\n");
  printf("          zelvora https://www.example.com/tu[000-100].jpg -p c:\\temp -O\r\n");
  printf("  -step : display response-data setp by step according to specified size\r\n");
  printf("          zelvora https://www.example.com/ -step 1024\r\n\r\n");
  printf("  The following parameter do not need value:\r\n");
  printf("  -O        : output http-response to current path by default filename\r\n");
  printf("  -file     : \"-d\" or \"-h\" specifed value is file\r\n");
  printf("  -head     : only show http response header\r\n");
  printf("  -origin   : output origin data, maybe chunked or compressed or mixed\r\n");
  printf("  -compress : output compress data if response data compressed\r\n");
  printf("  -append   : append data to file if file exist\r\n");
  printf("  -progress : display download or upload rate of progress\r\n");
  printf("  -ssl      : use SSL if \"http\" not in URL\r\n");
  printf("            : zelvora www.example.com -ssl\r\n");
}
