// The walk of a string-table block.
#include "app/StringBlock.h"

bool StringBlockOf(uint32_t id, uint16_t* block, unsigned* index)
{
    uint32_t number = id / 16 + 1;
    if (number > 0xFFFF) return false;
    *block = static_cast<uint16_t>(number);
    *index = id % 16;
    return true;
}

bool FindStringEntry(const uint16_t* block, size_t unitCount, unsigned index, size_t* offset,
                     size_t* length)
{
    if (block == nullptr || index > 15) return false;
    size_t position = 0;
    for (unsigned entry = 0; entry < index; ++entry) {
        if (position >= unitCount) return false;
        position += 1 + static_cast<size_t>(block[position]);
    }
    if (position >= unitCount) return false;
    size_t count = block[position];
    if (count == 0 || count > unitCount - position - 1) return false;
    *offset = position + 1;
    *length = count;
    return true;
}

size_t CutStringLength(size_t length, int size)
{
    if (size < 1) return 0;
    size_t limit = static_cast<size_t>(size) - 1;
    return length < limit ? length : limit;
}
