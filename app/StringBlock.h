// The walk of a string-table block (no Win32 here).
#pragma once
#include <cstddef>
#include <cstdint>

// The block that holds string `id` (id / 16 + 1) and its entry within it (id mod 16).
// False for ids whose block number would not fit the 16 bits of a resource id: those ids
// would otherwise wrap round onto block 0 or onto another id's text.
bool StringBlockOf(uint32_t id, uint16_t* block, unsigned* index);

// Finds entry `index` (0 to 15) in a block of `unitCount` 16-bit units: 16 entries, each a
// count n followed by n units. Sets *offset to the entry's first text unit and *length to n.
// False when the block ends before the entry or within its text, or when n is 0.
bool FindStringEntry(const uint16_t* block, size_t unitCount, unsigned index, size_t* offset,
                     size_t* length);

// The number of units copied for an entry of `length` units into a buffer of `size` bytes
// (at least 1): the text is cut to size - 1 units.
size_t CutStringLength(size_t length, int size);
