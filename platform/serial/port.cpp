// Serial ports: CreateFileW on COMn:, reads and writes, settings, queues.
#include "serial/port.h"

#include "serial/file_hooks.h"
#include "serial/line.h"
#include "serial/port_map.h"
#include "sync/errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ce::serial {
namespace {

constexpr size_t kReceiveBuffer = 64 * 1024;

// Each thread's wake-up descriptor, made when it first has to wait.
struct WakeFd {
    int fd = -1;
    ~WakeFd() {
        if (fd >= 0) close(fd);
    }
};
thread_local WakeFd t_wake;

int thread_wake_fd() {
    if (t_wake.fd < 0) t_wake.fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return t_wake.fd;
}

std::shared_ptr<Port> port_for(HANDLE h) {
    auto port = ce::handle_get<Port>(h, ce::ObjectKind::SerialPort);
    if (!port) SetLastError(ERROR_INVALID_HANDLE);
    return port;
}

// Sets DTR and RTS as the record asks; lines that the device lacks (a
// pseudo-terminal has none) are left alone.
void apply_modem_lines(int fd, const DCB &d) {
    int set = 0, clear = 0;
    (d.fDtrControl == DTR_CONTROL_ENABLE ? set : clear) |= TIOCM_DTR;
    if (d.fRtsControl != RTS_CONTROL_HANDSHAKE) (d.fRtsControl == RTS_CONTROL_ENABLE ? set : clear) |= TIOCM_RTS;
    if (set) ioctl(fd, TIOCMBIS, &set);
    if (clear) ioctl(fd, TIOCMBIC, &clear);
}

// Rates within 2% count as kept: UARTs divide a clock and land near the ask.
bool rate_kept(uint32_t asked, uint32_t got) {
    uint64_t diff = asked > got ? asked - got : got - asked;
    return diff * 50 <= asked;
}

// Whether a live process other than us holds the tty exclusively (root
// passes through TIOCEXCL, so we ask).
bool exclusive_elsewhere(int fd) {
    int excl = 0;
    return ioctl(fd, TIOCGEXCL, &excl) == 0 && excl != 0;
}

HANDLE open_port(int number, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS) {
        SetLastError(ERROR_INVALID_PARAMETER);  // a port cannot be created or truncated
        return INVALID_HANDLE_VALUE;
    }
    if (flags & FILE_FLAG_OVERLAPPED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = device_path(number);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto port = std::make_shared<Port>();
    port->path = path;
    port->can_read = access & (GENERIC_READ | GENERIC_ALL);
    port->can_write = access & (GENERIC_WRITE | GENERIC_ALL);
    bool query_only = !port->can_read && !port->can_write;

    // Open without waiting for carrier, never as controlling terminal.
    port->fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->fd < 0) {
        SetLastError(errno == EBUSY ? ERROR_ACCESS_DENIED : ce::error_from_errno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (!isatty(port->fd)) {
        SetLastError(ERROR_FILE_NOT_FOUND);  // the map names something that is no port
        return INVALID_HANDLE_VALUE;
    }
    if (!query_only) {
        // Lock the device: exclusive for share mode 0, shared otherwise, so
        // that no two programs (or handles) that both use the port coexist.
        if (flock(port->fd, (share == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 || exclusive_elsewhere(port->fd)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (share == 0) port->set_exclusive = ioctl(port->fd, TIOCEXCL) == 0;
    }

    // Raw mode, keeping speed, format and flow control.
    LineSettings line;
    if (!line_get(port->fd, &line)) {
        ce::set_last_error_from_errno();
        return INVALID_HANDLE_VALUE;
    }
    if (!query_only) {
        make_raw(&line);
        if (!line_set(port->fd, line)) {
            ce::set_last_error_from_errno();
            return INVALID_HANDLE_VALUE;
        }
    }
    port->dcb = line_to_dcb(line);
    port->rx.resize(kReceiveBuffer);
    if (ioctl(port->fd, TIOCGICOUNT, &port->icount) != 0) port->have_icount = false;
    HANDLE h = ce::handle_insert(port);
    SetLastError(ERROR_SUCCESS);
    return h;
}

}  // namespace

Port::~Port() {
    if (fd < 0) return;
    // Output that flow control held back and a caller gave up on would make
    // the close wait for it; drop it instead.
    if (tx_aborted.load()) tcflush(fd, TCOFLUSH);
    if (set_exclusive) ioctl(fd, TIOCNXCL);
    close(fd);  // also drops the lock
}

void Port::on_close() {
    {
        std::lock_guard<std::mutex> guard(wait_lock);
        closed = true;
    }
    wake(true, true);
}

void Port::wake(bool wake_rx, bool wake_tx) {
    std::lock_guard<std::mutex> guard(wait_lock);
    if (wake_rx) rx_gen.fetch_add(1);
    if (wake_tx) tx_gen.fetch_add(1);
    uint64_t one = 1;
    for (Waiter *w : waiters)
        if ((w->rx && wake_rx) || (!w->rx && wake_tx)) {
            if (!w->rx) tx_aborted = true;
            ssize_t n = write(w->wake_fd, &one, sizeof one);
            (void)n;  // an eventfd that is already signalled stays so
        }
}

ssize_t Port::fill_locked() {
    if (gone) {
        errno = EIO;
        return -1;
    }
    if (rx_head == rx_tail) rx_head = rx_tail = 0;
    if (rx_tail == rx.size()) {
        if (rx_head == 0) return 0;  // full: the caller reads first
        memmove(rx.data(), rx.data() + rx_head, rx_tail - rx_head);
        rx_tail -= rx_head;
        rx_head = 0;
    }
    for (;;) {
        ssize_t n = read(fd, rx.data() + rx_tail, rx.size() - rx_tail);
        if (n > 0) {
            rx_tail += static_cast<size_t>(n);
            return n;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return 0;
        // 0 (end of file) or an error: a tty that hung up or a device unplugged.
        if (n == 0) errno = EIO;
        gone = true;
        return -1;
    }
}

DWORD Port::wait_ready(short events, bool rx_side, uint64_t gen) {
    int wake_fd = thread_wake_fd();
    if (wake_fd < 0) return ce::error_from_errno(errno);
    Waiter me{rx_side, wake_fd};
    std::atomic<uint64_t> &generation = rx_side ? rx_gen : tx_gen;
    {
        std::lock_guard<std::mutex> guard(wait_lock);
        if (closed) return ERROR_OPERATION_ABORTED;
        if (generation.load() != gen) return ERROR_OPERATION_ABORTED;
        waiters.push_back(&me);
    }
    pollfd fds[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    int rc;
    while ((rc = poll(fds, 2, -1)) < 0 && errno == EINTR) {
    }
    int saved = errno;
    uint64_t drained;
    if (fds[1].revents & POLLIN) {
        ssize_t n = read(wake_fd, &drained, sizeof drained);
        (void)n;
    }
    std::lock_guard<std::mutex> guard(wait_lock);
    for (auto it = waiters.begin(); it != waiters.end(); ++it)
        if (*it == &me) {
            waiters.erase(it);
            break;
        }
    if (closed || generation.load() != gen) return ERROR_OPERATION_ABORTED;
    if (rc < 0) return ce::error_from_errno(saved);
    return 0;  // ready, or a stale wake-up: the caller tries again
}

}  // namespace ce::serial

using ce::serial::Port;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int number = ce::serial::com_number(lpFileName);
    if (number < 0)
        return ce::file_create(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                               dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    return ce::serial::open_port(number, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                 dwFlagsAndAttributes);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    auto port = ce::handle_get<Port>(hFile, ce::ObjectKind::SerialPort);
    if (!port) return ce::file_read(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!port->can_read) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    uint64_t gen = port->rx_gen.load();
    auto *out = static_cast<uint8_t *>(lpBuffer);
    DWORD got = 0;
    DWORD failure = 0;
    while (got < nNumberOfBytesToRead) {
        ssize_t filled;
        {
            std::lock_guard<std::mutex> guard(port->rx_lock);
            size_t take = std::min<size_t>(port->rx_tail - port->rx_head, nNumberOfBytesToRead - got);
            memcpy(out + got, port->rx.data() + port->rx_head, take);
            port->rx_head += take;
            got += static_cast<DWORD>(take);
            if (got == nNumberOfBytesToRead) break;
            filled = port->fill_locked();
        }
        if (filled > 0) continue;
        if (filled < 0) {
            failure = ce::error_from_errno(errno);
            break;
        }
        if (DWORD e = port->wait_ready(POLLIN, true, gen)) {
            failure = e;
            break;
        }
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = got;
    if (failure) {
        SetLastError(failure);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
    auto port = ce::handle_get<Port>(hFile, ce::ObjectKind::SerialPort);
    if (!port) return ce::file_write(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!port->can_write) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A purge while this write queues behind another one aborts it too.
    uint64_t gen = port->tx_gen.load();
    std::lock_guard<std::mutex> guard(port->tx_lock);
    auto *in = static_cast<const uint8_t *>(lpBuffer);
    DWORD done = 0;
    DWORD failure = port->tx_gen.load() != gen ? static_cast<DWORD>(ERROR_OPERATION_ABORTED) : 0;
    while (!failure && done < nNumberOfBytesToWrite) {
        ssize_t n = write(port->fd, in + done, nNumberOfBytesToWrite - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            failure = port->wait_ready(POLLOUT, false, gen);
        } else {
            failure = ce::error_from_errno(n == 0 ? EIO : errno);
        }
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    if (failure) {
        SetLastError(failure);
        return FALSE;
    }
    return TRUE;
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = ce::serial::port_for(hFile);
    if (!port) return FALSE;
    if (!lpDCB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(port->state_lock);
    *lpDCB = port->dcb;
    return TRUE;
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = ce::serial::port_for(hFile);
    if (!port) return FALSE;
    if (!lpDCB || !ce::serial::dcb_problem(*lpDCB).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(port->state_lock);
    ce::serial::LineSettings before, after;
    if (!ce::serial::line_get(port->fd, &before)) {
        ce::set_last_error_from_errno();
        return FALSE;
    }
    ce::serial::LineSettings wanted = ce::serial::dcb_to_line(*lpDCB, before);
    if (!ce::serial::line_set(port->fd, wanted)) {
        DWORD e = errno == EINVAL ? static_cast<DWORD>(ERROR_INVALID_PARAMETER) : ce::error_from_errno(errno);
        ce::serial::line_set(port->fd, before);
        SetLastError(e);
        return FALSE;
    }
    // The device may round a rate it cannot make: refuse it and put back the old settings.
    if (!ce::serial::line_get(port->fd, &after) ||
        !ce::serial::rate_kept(lpDCB->BaudRate, ce::serial::line_rate(after))) {
        ce::serial::line_set(port->fd, before);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ce::serial::apply_modem_lines(port->fd, *lpDCB);
    port->dcb = *lpDCB;
    return TRUE;
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    auto port = ce::serial::port_for(hFile);
    if (!port) return FALSE;
    DWORD in_queue;
    {
        std::lock_guard<std::mutex> guard(port->rx_lock);
        // A handle opened for settings only leaves the bytes to the reader.
        if (port->rx_head == port->rx_tail && port->can_read) port->fill_locked();
        size_t buffered = port->rx_tail - port->rx_head;
        if (buffered == 0 && port->gone) {
            // Every byte that came before was read: tell the caller the device has gone.
            SetLastError(ERROR_DEVICE_NOT_CONNECTED);
            return FALSE;
        }
        int kernel = 0;
        if (!port->gone && ioctl(port->fd, TIOCINQ, &kernel) != 0) kernel = 0;
        in_queue = static_cast<DWORD>(buffered) + static_cast<DWORD>(kernel);
    }
    DWORD errors = 0;
    if (port->have_icount) {
        serial_icounter_struct now{};
        std::lock_guard<std::mutex> guard(port->state_lock);
        if (ioctl(port->fd, TIOCGICOUNT, &now) == 0) {
            if (now.buf_overrun != port->icount.buf_overrun) errors |= CE_RXOVER;
            if (now.overrun != port->icount.overrun) errors |= CE_OVERRUN;
            if (now.parity != port->icount.parity) errors |= CE_RXPARITY;
            if (now.frame != port->icount.frame) errors |= CE_FRAME;
            if (now.brk != port->icount.brk) errors |= CE_BREAK;
            port->icount = now;
        }
    }
    if (lpErrors) *lpErrors = errors;
    if (lpStat) {
        int out_queue = 0;
        if (ioctl(port->fd, TIOCOUTQ, &out_queue) != 0) out_queue = 0;
        memset(lpStat, 0, sizeof *lpStat);
        lpStat->cbInQue = in_queue;
        lpStat->cbOutQue = static_cast<DWORD>(out_queue);
    }
    return TRUE;
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
    auto port = ce::serial::port_for(hFile);
    if (!port) return FALSE;
    if (dwFlags & ~static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwFlags & (PURGE_TXABORT | PURGE_RXABORT))
        port->wake((dwFlags & PURGE_RXABORT) != 0, (dwFlags & PURGE_TXABORT) != 0);
    if (dwFlags & PURGE_TXCLEAR) tcflush(port->fd, TCOFLUSH);
    if (dwFlags & PURGE_RXCLEAR) {
        std::lock_guard<std::mutex> guard(port->rx_lock);
        port->rx_head = port->rx_tail = 0;
        tcflush(port->fd, TCIFLUSH);
    }
    return TRUE;
}
