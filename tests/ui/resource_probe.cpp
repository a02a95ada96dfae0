// A program that holds nothing but DeviDudi's resources, built for both
// architectures so that check_resources.py can read them from real
// executables of each.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
