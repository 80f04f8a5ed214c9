// Started under a browser's process name, it waits until the test ends it.
#include <windows.h>

int main() { ::Sleep(INFINITE); }
