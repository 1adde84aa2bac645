// Entry point of the resident program.
#include "app/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunResidentProgram(instance, commandLine ? commandLine : "");
}
