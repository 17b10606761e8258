#include <cstdio>
#include <cstring>

// The editor window arrives with the editor control; until then the program names itself.
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("rideder 0.1");
    return 0;
  }
  std::fputs("rideder: the editor window is not available in this build\n", stderr);
  return 1;
}
