// Fuzzes the walk of a string-table block: an entry found lies wholly inside the block, and
// a damaged block is never read past its end (the block is copied to a buffer of exactly its
// size, so that the address sanitizer sees any read beyond it).
#include "app/StringBlock.h"
#include "tests/fuzz/FuzzInput.h"
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) return 0;
    uint32_t id = 0;
    std::memcpy(&id, data, 4);
    int bufferSize = static_cast<int>(static_cast<int8_t>(data[4]));
    data += 5;
    size -= 5;

    uint16_t blockNumber = 0;
    unsigned index = 99;
    if (StringBlockOf(id, &blockNumber, &index)) {
        // The block and entry name this id and no other.
        FUZZ_CHECK(blockNumber >= 1 && index < 16);
        FUZZ_CHECK((static_cast<uint64_t>(blockNumber) - 1) * 16 + index == id);
    } else {
        FUZZ_CHECK(id / 16 + 1 > 0xFFFF);
        index = id % 16;
    }

    size_t unitCount = size / 2;
    std::unique_ptr<uint16_t[]> block(new uint16_t[unitCount == 0 ? 1 : unitCount]);
    std::memcpy(block.get(), data, unitCount * 2);
    const uint16_t* units = unitCount == 0 ? nullptr : block.get();
    size_t offset = 0, length = 0;
    FUZZ_CHECK(!FindStringEntry(units, unitCount, 16, &offset, &length));
    bool previousFound = false;
    size_t previousEnd = 0;
    for (unsigned entry = 0; entry < 16; ++entry) {
        bool found = FindStringEntry(units, unitCount, entry, &offset, &length);
        // Entries follow one another: each one's count stands just after the previous text.
        if (found && previousFound) FUZZ_CHECK(offset == previousEnd + 1);
        if (found && entry == 0) FUZZ_CHECK(offset == 1);
        previousFound = found;
        previousEnd = found ? offset + length : 0;
        if (!found) continue;
        FUZZ_CHECK(length > 0 && offset >= 1 && offset + length <= unitCount);
        FUZZ_CHECK(block[offset - 1] == length);
        if (entry != index) continue;
        size_t copied = CutStringLength(length, bufferSize);
        if (bufferSize < 1) {
            FUZZ_CHECK(copied == 0);
        } else {
            FUZZ_CHECK(copied <= length && copied + 1 <= static_cast<size_t>(bufferSize));
            FUZZ_CHECK(copied == length || copied + 1 == static_cast<size_t>(bufferSize));
        }
    }
    return 0;
}
