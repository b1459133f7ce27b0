// pexaro, the selector: asks the firmware, through the driver, which notebook model it
// runs on and starts the program that serves the model; given "-c" it asks a running
// tray program to close instead.
#pragma once

#include <windows.h>

// Model codes, the result of detection.
enum ModelCode {
    kModelUnknown = 0,
    kModelSkerry21 = 1,  // by product name
    kModelSkerry46 = 2,  // by product name
    kModelOemRow3 = 3,   // by OEM identifier, rows tried in this order
    kModelOemRow4 = 4,
    kModelOemRow5 = 5,
};

// The window class of the tray program.
#define SELECTOR_TRAY_CLASS "Pexaro Control"
// The outside driver tried when PEXACTRL cannot be opened.
#define SELECTOR_SECOND_DEVICE "\\\\.\\PEXACTL2"

// The directory and the command are built in one buffer of this many characters.
const DWORD kCommandBufferSize = 1024;

// Detection (detect.cpp)
// Four characters in one 32-bit value, the first in the most significant byte.
ULONG PackChunk(const char* fourCharacters);
// "\\.\PEXACTRL", else "\\.\PEXACTL2"; INVALID_HANDLE_VALUE when neither opens.
HANDLE OpenControlDevice();
int QueryOemId();
int QueryProductName();

// Launch (launch.cpp)
struct LaunchCell {
    const char* program;  // appended to the program's directory, from its backslash on
    const char* options;  // appended after the program, or null
};
// The cell of the launch table for a model on a system; null: nothing is started.
const LaunchCell* LaunchCellFor(int model, const OSVERSIONINFOA& system);
// Program directory and cell joined into `command`; false when it does not fit.
bool BuildCommand(const char* directory, const LaunchCell& cell, char* command, DWORD size);
void SetProgramDirectory(HINSTANCE instance);
bool WantsClose(const char* commandLine);
void CloseTrayProgram();
int SelectorMain(HINSTANCE instance);
