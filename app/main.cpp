// Program entry. The main window arrives with the application shell.
#include <cstdio>

int main()
{
    std::puts("meter-readout: the application shell is not built yet");
    return 0;
}
