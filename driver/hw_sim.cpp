// Hardware access of the host build: the simulated notebook of the running machine.
// The processor's interrupt flag is the notebook's, so the chip model can see whether a
// configuration cycle ran with interrupts off.
#include "hw_access.h"

#include "sim/machine.h"

static hw::Notebook& Notebook()
{
    return *sim::CurrentMachine().notebook;
}

unsigned char PortReadByte(unsigned short port)
{
    return Notebook().PortIn(port);
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    Notebook().PortOut(port, value);
}

CpuFlags SaveFlagsAndDisableInterrupts()
{
    hw::Notebook& notebook = Notebook();
    CpuFlags saved = notebook.interruptsEnabled ? kCpuInterruptFlag : 0;
    notebook.interruptsEnabled = false;
    return saved;
}

void RestoreFlags(CpuFlags saved)
{
    Notebook().interruptsEnabled = (saved & kCpuInterruptFlag) != 0;
}
