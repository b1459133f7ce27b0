// The selector's two paths: start the program for the model found, or close the tray
// program. The run always ends with exit code 0; nothing is reported.
#include <string.h>

#include "language.h"
#include "selector.h"
#include "strings.h"

namespace {

enum SystemColumn { kWindows9x, kNtVersion5, kOtherSystem, kSystemColumns };

const DWORD kPlatformWindows9x = 1;
const DWORD kPlatformNt = 2;
const DWORD kNtMajorVersion5 = 5;

struct LaunchRow {
    int model;
    LaunchCell cells[kSystemColumns];  // a null program: nothing is started
};

const char kTrayOptions[] = "-4 -b4";

const LaunchRow kLaunchTable[] = {
    {kModelSkerry21, {{"\\pexaro21.exe", NULL}, {"\\pexaro21.exe", NULL}, {"\\pexaro21.exe", NULL}}},
    {kModelSkerry46, {{"\\pexaro4698.exe", NULL}, {"\\pexaro462k.exe", NULL}, {NULL, NULL}}},
    {kModelOemRow3, {{"\\pexasmsc98.exe", kTrayOptions}, {"\\pexasmsc2k.exe", kTrayOptions}, {NULL, NULL}}},
    {kModelOemRow4, {{"\\pexasmsc98.exe", kTrayOptions}, {"\\pexasmsc2k.exe", kTrayOptions}, {NULL, NULL}}},
    {kModelOemRow5, {{"\\pexasmsc98.exe", kTrayOptions}, {"\\pexasmsc2k.exe", kTrayOptions}, {NULL, NULL}}},
};

SystemColumn ColumnOf(const OSVERSIONINFOA& system)
{
    if (system.dwPlatformId == kPlatformWindows9x)
        return kWindows9x;
    if (system.dwMajorVersion == kNtMajorVersion5 && system.dwPlatformId == kPlatformNt)
        return kNtVersion5;
    return kOtherSystem;
}

// Appends `text` at `*used`; false, and nothing appended, when it does not fit.
bool AppendText(char* buffer, DWORD size, DWORD* used, const char* text)
{
    size_t length = strlen(text);
    if (length >= size - *used)
        return false;
    memcpy(buffer + *used, text, length + 1);
    *used += (DWORD)length;
    return true;
}

}  // namespace

const LaunchCell* LaunchCellFor(int model, const OSVERSIONINFOA& system)
{
    for (const LaunchRow& row : kLaunchTable) {
        if (row.model != model)
            continue;
        const LaunchCell& cell = row.cells[ColumnOf(system)];
        return cell.program != NULL ? &cell : NULL;
    }
    return NULL;
}

// A directory with a blank in it is quoted together with the program's name: unquoted,
// Windows would try each blank-separated beginning of the path as a program first
// ("C:\Program.exe" before "C:\Program Files\...").
bool BuildCommand(const char* directory, const LaunchCell& cell, char* command, DWORD size)
{
    bool quoted = strpbrk(directory, " \t") != NULL;
    DWORD used = 0;
    command[0] = '\0';
    if (quoted && !AppendText(command, size, &used, "\""))
        return false;
    if (!AppendText(command, size, &used, directory) ||
        !AppendText(command, size, &used, cell.program))
        return false;
    if (quoted && !AppendText(command, size, &used, "\""))
        return false;
    if (cell.options != NULL &&
        (!AppendText(command, size, &used, " ") || !AppendText(command, size, &used, cell.options)))
        return false;
    return true;
}

void SetProgramDirectory(HINSTANCE instance)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0)
        return;
    path[length < MAX_PATH ? length : MAX_PATH - 1] = '\0';
    char* lastBackslash = strrchr(path, '\\');
    if (lastBackslash == NULL)
        return;
    *lastBackslash = '\0';
    SetCurrentDirectoryA(path);
}

// "-c" or "/c" in any letter case anywhere on the command line, the program's own path
// included.
bool WantsClose(const char* commandLine)
{
    return FindNoCase(commandLine, "-c") != NULL || FindNoCase(commandLine, "/c") != NULL;
}

void CloseTrayProgram()
{
    HWND window = FindWindowA(SELECTOR_TRAY_CLASS, NULL);
    if (window != NULL)
        PostMessageA(window, WM_CLOSE, 0, 0);
}

int SelectorMain(HINSTANCE instance)
{
    if (WantsClose(GetCommandLineA())) {
        CloseTrayProgram();
        return 0;
    }
    SetProgramDirectory(instance);
    char directory[kCommandBufferSize];
    DWORD length = GetCurrentDirectoryA(kCommandBufferSize, directory);
    if (length == 0 || length >= kCommandBufferSize)
        directory[0] = '\0';

    int model = QueryOemId();
    if (model == kModelUnknown)
        model = QueryProductName();
    const LaunchCell* cell = LaunchCellFor(model, g_osVersion);
    char command[kCommandBufferSize];
    if (cell != NULL && directory[0] != '\0' &&
        BuildCommand(directory, *cell, command, kCommandBufferSize))
        WinExec(command, SW_SHOWNORMAL);
    return 0;
}
