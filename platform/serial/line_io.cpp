// termios2 through the kernel's own header: the C library's termios cannot set
// rates outside its fixed list (14400 among them). Kept apart from every file
// that includes <termios.h>, whose struct of the same name differs.
#include "serial/line.h"

#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>

namespace ce::serial {

static_assert(sizeof(LineSettings) == sizeof(struct termios2), "LineSettings must mirror termios2");
static_assert(sizeof(LineSettings::cc) == NCCS, "control characters");

bool line_get(int fd, LineSettings *out) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    memcpy(static_cast<void *>(out), &t, sizeof t);
    return true;
}

bool line_set(int fd, const LineSettings &in) {
    struct termios2 t;
    memcpy(&t, &in, sizeof t);
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace ce::serial
