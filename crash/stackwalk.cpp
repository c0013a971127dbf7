#include "stackwalk.h"

// The fault handler these serve is the Linux one.
#if defined(__linux__)

#include "moduletable.h"
#include "safememory.h"

namespace StackWalk {

namespace {

constexpr uintptr_t WordSize = sizeof(uintptr_t);
// No sane frame is larger; a bigger step means the chain went astray.
constexpr uintptr_t MaxFrameSpan = 16u << 20;
// How far above the last trusted frame the scan looks.
constexpr uintptr_t ScanBytes = 256u << 10;

bool isReturnAddress(uintptr_t addr)
{
    return ModuleTable::isCode(addr) && followsCall(addr);
}

int scan(uintptr_t from, uintptr_t *frames, int n, int maxFrames)
{
    static uintptr_t chunk[4096 / sizeof(uintptr_t)];
    uintptr_t cur = (from + WordSize - 1) & ~(WordSize - 1);
    const uintptr_t end = cur + ScanBytes;
    while (cur < end && n < maxFrames) {
        uintptr_t stop = (cur | 4095) + 1;
        if (stop > end)
            stop = end;
        const uintptr_t len = stop - cur;
        if (!SafeMemory::read(chunk, cur, len))
            break;
        for (uintptr_t i = 0; i < len / WordSize && n < maxFrames; ++i)
            if (isReturnAddress(chunk[i]))
                frames[n++] = chunk[i];
        cur = stop;
    }
    return n;
}

#if defined(__x86_64__) || defined(__i386__)
// Length of an indirect call (FF /2) from its ModRM and SIB bytes, without
// prefixes.
int indirectCallLength(uint8_t modrm, uint8_t sib)
{
    const int mod = modrm >> 6;
    const int rm = modrm & 7;
    switch (mod) {
    case 3:
        return 2;
    case 0:
        if (rm == 4)
            return (sib & 7) == 5 ? 7 : 3;
        return rm == 5 ? 6 : 2;
    case 1:
        return rm == 4 ? 4 : 3;
    default:
        return rm == 4 ? 7 : 6;
    }
}
#endif

} // namespace

bool followsCall(uintptr_t addr)
{
#if defined(__x86_64__) || defined(__i386__)
    uint8_t b[8];
    if (addr < sizeof b || !SafeMemory::read(b, addr - sizeof b, sizeof b))
        return false;
    // b[8 - L] is where an instruction of L bytes ending at addr begins.
    if (b[3] == 0xE8)
        return true; // call rel32
    // call r/m (FF /2); a prefix in front does not move the FF byte.
    for (int len = 2; len <= 7; ++len) {
        const int at = 8 - len;
        if (b[at] != 0xFF || (b[at + 1] & 0x38) != 0x10)
            continue;
        const uint8_t sib = at + 2 < 8 ? b[at + 2] : 0;
        if (indirectCallLength(b[at + 1], sib) == len)
            return true;
    }
    return false;
#else
    (void)addr;
    return true;
#endif
}

int walk(const Start &start, uintptr_t *frames, int maxFrames)
{
    if (maxFrames <= 0)
        return 0;
    int n = 0;
    frames[n++] = start.pc;
    uintptr_t low = start.sp;

    // A call through a bad pointer leaves the caller's return address on top
    // of the stack and nothing else to go by.
    if (!ModuleTable::isCode(start.pc)) {
        uintptr_t ret = 0;
        if (n < maxFrames && SafeMemory::readWord(start.sp, &ret) && isReturnAddress(ret))
            frames[n++] = ret;
        low = start.sp + WordSize;
    }

    uintptr_t fp = start.fp;
    bool reachedOutermost = false;
    while (n < maxFrames) {
        if (fp == 0) {
            reachedOutermost = true;
            break;
        }
        if (fp % WordSize || fp < low || fp - low > MaxFrameSpan)
            break;
        uintptr_t frame[2]; // saved frame pointer, return address
        if (!SafeMemory::read(frame, fp, sizeof frame) || !ModuleTable::isCode(frame[1]))
            break;
        frames[n++] = frame[1];
        low = fp + sizeof frame;
        // The chain must climb, or a corrupt stack could make it loop.
        if (frame[0] != 0 && frame[0] <= fp)
            break;
        fp = frame[0];
    }
    if (!reachedOutermost)
        n = scan(low, frames, n, maxFrames);
    return n;
}

} // namespace StackWalk

#endif
