// Stands in for a browser: copied under a browser's process name and started, it waits until
// the test ends it.
#include <windows.h>

int main() {
    ::Sleep(INFINITE);
    return 0;
}
