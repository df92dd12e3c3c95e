/* The binfmt_misc interpreter for i386 ELF programs (registered with flags
   POF by scripts/wow32/setup): argv[1] is the program, argv[2] its original
   argv[0], the rest its arguments. Runs it under qemu with the mmap shim.
   A script cannot serve here: with the F flag the kernel opens the
   interpreter at registration and needs a real executable. */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s program argv0 [arguments]\n", argv[0]);
        return 127;
    }
    char **v = calloc((size_t)argc + 6, sizeof *v);
    if (v == NULL) return 127;
    int n = 0;
    v[n++] = QEMU;
    v[n++] = "-E";
    v[n++] = "LD_PRELOAD=" SHIM;
    v[n++] = "-0";
    v[n++] = argv[2];
    v[n++] = argv[1];
    for (int i = 3; i < argc; i++) v[n++] = argv[i];
    v[n] = NULL;
    execv(QEMU, v);
    perror("execv " QEMU);
    return 127;
}
