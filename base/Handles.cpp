// The record of open find handles, and of directories held open, that the fault guards close
// after a fault.
#include "base/Handles.h"

namespace {

const size_t kMaxOpenFinds = 160;

struct OpenFind {
    HANDLE handle;
    unsigned long number;
    bool held;  // a directory held open (CloseHandle), not a find handle (FindClose)
};

// In the order opened, so in growing numbers; a walk closes its newest first.
OpenFind openFinds[kMaxOpenFinds];
size_t openFindCount = 0;
unsigned long nextNumber = 0;

void RemoveAt(size_t index)
{
    for (--openFindCount; index < openFindCount; ++index) openFinds[index] = openFinds[index + 1];
}

}  // namespace

unsigned long NextFindNumber()
{
    return nextNumber;
}

void NoteOpenFind(HANDLE handle, bool held)
{
    if (openFindCount < kMaxOpenFinds) openFinds[openFindCount++] = {handle, nextNumber, held};
    ++nextNumber;
}

void ForgetOpenFind(HANDLE handle)
{
    for (size_t i = openFindCount; i-- > 0;)
        if (openFinds[i].handle == handle) {
            RemoveAt(i);
            return;
        }
}

void CloseFindsFrom(unsigned long first)
{
    while (openFindCount > 0 && openFinds[openFindCount - 1].number >= first) {
        --openFindCount;
        if (openFinds[openFindCount].held) CloseHandle(openFinds[openFindCount].handle);
        else FindClose(openFinds[openFindCount].handle);
    }
}
