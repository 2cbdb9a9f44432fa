#include <cstdio>
int main() { std::puts("dravik-sim"); return 0; }
