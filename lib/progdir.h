// The program's own directory, found from the command line, and file tests.
#pragma once

#include "strings.h"

void ChangeToProgramDirectory();
SWStr GetProgramDirectory();
bool IsExistingFile(const WCHAR* name);
bool IsAbsolutePath(const WCHAR* path);
SWStr FindProgramFile(const WCHAR* name);
SWStr JoinPath(const WCHAR* directory, const WCHAR* name);
SWStr DirectoryPart(const WCHAR* path);
