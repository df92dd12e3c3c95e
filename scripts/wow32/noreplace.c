/* Loaded into every 32-bit process that runs under qemu's user-mode emulation
   (scripts/wow32/setup). qemu takes MAP_FIXED_NOREPLACE for a plain hint and
   maps elsewhere instead of failing; 32-bit Wine reserves its address space
   with that flag and then retries some 65,000 times, a minute of work before
   every program starts. This gives the kernel's answer: EEXIST.
   Built with -nostdlib (no i386 development files are needed): the few
   declarations below are resolved when the program runs. */
typedef unsigned int size_t;
typedef long long off64_t;
#define MAP_FIXED_NOREPLACE 0x100000
#define MAP_FAILED ((void *)-1)
#define EEXIST 17
#define RTLD_NEXT ((void *)-1l)
extern void *dlsym(void *, const char *);
extern int *__errno_location(void);
extern int munmap(void *, size_t);
extern int unsetenv(const char *);
static void *(*real_mmap64)(void *, size_t, int, int, int, off64_t);

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off64_t off)
{
    void *p;
    if (!real_mmap64) real_mmap64 = (void *(*)(void *, size_t, int, int, int, off64_t))dlsym(RTLD_NEXT, "mmap64");
    p = real_mmap64(addr, len, prot, flags, fd, off);
    if ((flags & MAP_FIXED_NOREPLACE) && p != MAP_FAILED && p != addr) {
        munmap(p, len);
        *__errno_location() = EEXIST;
        return MAP_FAILED;
    }
    return p;
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
    return mmap64(addr, len, prot, flags, fd, off);
}

/* The 64-bit programs this one starts (wineserver, wine64) have no use for it. */
__attribute__((constructor)) static void drop_preload(void) { unsetenv("LD_PRELOAD"); }
