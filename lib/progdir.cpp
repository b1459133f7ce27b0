// (Minimal until the program directory lands.)
#include "progdir.h"

void ChangeToProgramDirectory() {}
