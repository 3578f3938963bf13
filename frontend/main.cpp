// Placeholder entry point until the drivers land.
#include <cstdio>

int main(int, char**) {
  printf("usage: zelvora URL [options]\r\n");
  return 0;
}
