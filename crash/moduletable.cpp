#include "moduletable.h"

// The fault handler these serve is the Linux one.
#if defined(__linux__)

#include "reportbuffer.h"

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <link.h>
#include <mutex>
#include <sched.h>
#include <unistd.h>

namespace ModuleTable {

namespace {

constexpr int MaxModules = 384;
constexpr int MaxSegments = 1536;
constexpr int PathLength = 320;

struct Segment
{
    uintptr_t start;
    uintptr_t end;
    uint16_t module;
    bool executable;
};

struct Module
{
    uintptr_t bias;
    char path[PathLength];
};

struct Table
{
    Segment segments[MaxSegments];
    Module modules[MaxModules];
    int segmentCount;
    int moduleCount;
    uintptr_t codeLow;
    uintptr_t codeHigh;
};

// Two snapshots: refreshes write the one not in use, then publish it. The
// handler announces itself as a reader first, so a refresh never rewrites a
// table a report is reading.
Table tables[2];
std::atomic<int> current{-1};
std::atomic<int> readers[2];
std::atomic<int> pinned{-1};
std::mutex refreshLock;
unsigned long long seenAdds = 0;
unsigned long long seenSubs = 0;

char exePath[PathLength];

// The /proc/self/maps fallback, read at most once per report.
Table mapsTable;
bool mapsRead = false;

void copyPath(char *dst, const char *src)
{
    int i = 0;
    for (; src && src[i] && i < PathLength - 1; ++i)
        dst[i] = src[i];
    dst[i] = '\0';
}

void addSegment(Table &t, uintptr_t start, uintptr_t end, int module, bool exec)
{
    if (t.segmentCount >= MaxSegments || end <= start)
        return;
    t.segments[t.segmentCount++] = {start, end, uint16_t(module), exec};
    if (exec) {
        if (t.codeLow == 0 || start < t.codeLow)
            t.codeLow = start;
        if (end > t.codeHigh)
            t.codeHigh = end;
    }
}

int collect(struct dl_phdr_info *info, size_t, void *data)
{
    Table &t = *static_cast<Table *>(data);
    if (t.moduleCount >= MaxModules)
        return 1;
    const int index = t.moduleCount++;
    Module &m = t.modules[index];
    m.bias = info->dlpi_addr;
    // The executable itself comes with an empty name.
    copyPath(m.path,
             info->dlpi_name && info->dlpi_name[0] ? info->dlpi_name : (index == 0 ? exePath : ""));
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD)
            continue;
        const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        addSegment(t, start, start + ph.p_memsz, index, (ph.p_flags & PF_X) != 0);
    }
    return 0;
}

struct Counters
{
    unsigned long long adds = 0;
    unsigned long long subs = 0;
};

int readCounters(struct dl_phdr_info *info, size_t size, void *data)
{
    auto *c = static_cast<Counters *>(data);
    if (size >= offsetof(struct dl_phdr_info, dlpi_subs) + sizeof info->dlpi_subs) {
        c->adds = info->dlpi_adds;
        c->subs = info->dlpi_subs;
    }
    return 1; // the counters are the same on every entry
}

const Table *pinnedTable()
{
    const int i = pinned.load();
    return i < 0 ? nullptr : &tables[i];
}

// --- /proc/self/maps, parsed with no library help ---

uintptr_t parseHex(const char *&p)
{
    uintptr_t v = 0;
    for (;; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9')
            v = v * 16 + uintptr_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = v * 16 + uintptr_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v = v * 16 + uintptr_t(c - 'A' + 10);
        else
            return v;
    }
}

void skipField(const char *&p)
{
    while (*p && *p != ' ')
        ++p;
    while (*p == ' ')
        ++p;
}

// "start-end perms offset dev inode   path"
void parseMapsLine(Table &t, const char *line)
{
    const char *p = line;
    const uintptr_t start = parseHex(p);
    if (*p != '-')
        return;
    ++p;
    const uintptr_t end = parseHex(p);
    while (*p == ' ')
        ++p;
    const bool exec = p[0] && p[1] && p[2] == 'x';
    skipField(p);
    const uintptr_t offset = parseHex(p);
    while (*p == ' ')
        ++p;
    skipField(p); // device
    skipField(p); // inode
    if (*p == '\0' && !exec)
        return; // anonymous data
    // Consecutive mappings of one file share a module entry.
    int index = -1;
    for (int i = t.moduleCount - 1; i >= 0 && i >= t.moduleCount - 8; --i) {
        const char *a = t.modules[i].path;
        const char *b = p;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == '\0' && *b == '\0') {
            index = i;
            break;
        }
    }
    if (index < 0) {
        if (t.moduleCount >= MaxModules)
            return;
        index = t.moduleCount++;
        copyPath(t.modules[index].path, p);
        // Code sits at the same file offset as its link address in the usual
        // layouts, which is all a fallback can assume.
        t.modules[index].bias = start - offset;
    }
    addSegment(t, start, end, index, exec);
}

void readMaps()
{
    mapsRead = true;
    mapsTable.moduleCount = mapsTable.segmentCount = 0;
    mapsTable.codeLow = mapsTable.codeHigh = 0;
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    static char chunk[4096];
    static char line[PathLength + 128];
    size_t used = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') {
                line[used] = '\0';
                parseMapsLine(mapsTable, line);
                used = 0;
            } else if (used < sizeof line - 1) {
                line[used++] = chunk[i];
            }
        }
    }
    close(fd);
}

bool find(const Table &t, uintptr_t addr, Hit *hit)
{
    for (int i = 0; i < t.segmentCount; ++i) {
        const Segment &s = t.segments[i];
        if (addr >= s.start && addr < s.end) {
            if (hit) {
                hit->path = t.modules[s.module].path;
                hit->bias = t.modules[s.module].bias;
                hit->executable = s.executable;
            }
            return true;
        }
    }
    return false;
}

} // namespace

void init()
{
    if (exePath[0])
        return;
    const ssize_t n = readlink("/proc/self/exe", exePath, sizeof exePath - 1);
    exePath[n > 0 ? n : 0] = '\0';
}

void refresh()
{
    std::lock_guard<std::mutex> guard(refreshLock);
    const int now = current.load();
    const int target = now == 0 ? 1 : 0;
    // A report reading the other table keeps it; the process ends with it.
    while (readers[target].load() != 0)
        sched_yield();
    Table &t = tables[target];
    t.moduleCount = t.segmentCount = 0;
    t.codeLow = t.codeHigh = 0;
    Counters c;
    dl_iterate_phdr(readCounters, &c);
    dl_iterate_phdr(collect, &t);
    seenAdds = c.adds;
    seenSubs = c.subs;
    current.store(target);
}

void refreshIfChanged()
{
    Counters c;
    dl_iterate_phdr(readCounters, &c);
    {
        std::lock_guard<std::mutex> guard(refreshLock);
        if (current.load() >= 0 && c.adds == seenAdds && c.subs == seenSubs)
            return;
    }
    refresh();
}

const char *executablePath()
{
    return exePath;
}

void beginReport()
{
    mapsRead = false;
    if (pinned.load() >= 0)
        return;
    for (;;) {
        const int i = current.load();
        if (i < 0)
            return;
        readers[i].fetch_add(1);
        if (current.load() == i) {
            pinned.store(i);
            return;
        }
        readers[i].fetch_sub(1);
    }
}

void endReport()
{
    const int i = pinned.exchange(-1);
    if (i >= 0)
        readers[i].fetch_sub(1);
}

bool lookup(uintptr_t addr, Hit *hit)
{
    const Table *t = pinnedTable();
    if (t && find(*t, addr, hit))
        return true;
    if (!mapsRead)
        readMaps();
    return find(mapsTable, addr, hit);
}

bool isCode(uintptr_t addr)
{
    const Table *t = pinnedTable();
    Hit hit;
    if (t && addr >= t->codeLow && addr < t->codeHigh && find(*t, addr, &hit))
        return hit.executable;
    if (!mapsRead)
        readMaps();
    if (addr < mapsTable.codeLow || addr >= mapsTable.codeHigh)
        return false;
    return find(mapsTable, addr, &hit) && hit.executable;
}

} // namespace ModuleTable

#endif
