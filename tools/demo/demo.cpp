#include <cstdio>

int main() {
    std::puts("pyx_missions: foundation build");
    return 0;
}
