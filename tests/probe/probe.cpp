// Prints a marker that the test harness requires before it trusts a tree.
#include <cstdio>

int main() {
#if defined(_WIN64)
    std::printf("launcher-probe-ok x86_64\n");
#else
    std::printf("launcher-probe-ok i686\n");
#endif
    return 0;
}
