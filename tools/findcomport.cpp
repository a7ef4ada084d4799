// findcomport: prints the COM port number the adapter card has on the
// simulated handheld of CE_ROOT; exits 0 when a port was found, 1 when not.
#include "trvpafind.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc > 1 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0)) {
        printf("usage: findcomport\n"
               "Prints the number of the COM port assigned to the adapter card in the\n"
               "machine root CE_ROOT (0 when no card is present). Exit status 0 when a\n"
               "port was found, 1 when not.\n");
        return 0;
    }
    if (argc > 1) {
        fprintf(stderr, "findcomport: unexpected argument '%s' (try --help)\n", argv[1]);
        return 2;
    }
    int port = FindComPort();
    printf("%d\n", port);
    return port > 0 ? 0 : 1;
}
