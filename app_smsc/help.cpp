// The Help command: the readme of the user's language in Notepad, else the one of the
// fallback language. The name is relative: Notepad inherits the current directory, which
// the start-up made the program's own.
#include "tray.h"

#include "language.h"
#include "progdir.h"
#include "strings.h"
#include "wide.h"

namespace {

bool OpenReadme(const SWStr& code)
{
    SWStr name;
    name.Format(WIDE("readme_%s.txt"), code.Chars());
    if (!IsExistingFile(name.Chars()))
        return false;
    const SStr narrowName(name);
    SStr command;
    command.Format("notepad %s", narrowName.Chars());
    WinExec(command.Chars(), SW_SHOWNORMAL);
    return true;
}

}  // namespace

void ShowHelp()
{
    if (!OpenReadme(g_language.code))
        OpenReadme(g_language.neutralCode);
}
