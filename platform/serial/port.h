// An open serial port: the tty, its receive buffer, its kept settings, and
// the calls that wait on it.
#pragma once

#include "ce/serial.h"
#include "core/handles.h"

#include <atomic>
#include <cstdint>
#include <linux/serial.h>
#include <mutex>
#include <string>
#include <vector>

namespace ce::serial {

struct Port : ce::Object {
    Port() : ce::Object(ce::ObjectKind::SerialPort) {}
    ~Port() override;
    void on_close() override;

    int fd = -1;
    std::string path;
    bool can_read = false, can_write = false;
    bool set_exclusive = false;  // we set TIOCEXCL and clear it at the end

    // The record as last set (or as read at open): fields termios cannot
    // hold live only here.
    std::mutex state_lock;
    DCB dcb{};

    // Receive buffer, filled by one system read so that byte-sized reads are
    // cheap. Bytes live at [rx_head, rx_tail).
    std::mutex rx_lock;
    std::vector<uint8_t> rx;
    size_t rx_head = 0, rx_tail = 0;
    bool gone = false;  // the device hung up or vanished

    std::mutex tx_lock;  // one write at a time
    std::atomic<bool> tx_aborted{false};  // a waiting write was given up on

    // Line error counters at the last ClearCommError, where the driver has them.
    bool have_icount = true;
    serial_icounter_struct icount{};

    // Waiting: a call that must wait registers its thread's wake-up descriptor;
    // PurgeComm and CloseHandle raise a generation and wake the registered.
    std::mutex wait_lock;
    std::atomic<uint64_t> rx_gen{0}, tx_gen{0};
    std::atomic<bool> closed{false};
    struct Waiter {
        bool rx;
        int wake_fd;
    };
    std::vector<Waiter *> waiters;

    // Fills the receive buffer with what the device has, without waiting.
    // >0 bytes added, 0 nothing waiting, -1 the device has gone or failed
    // (errno set). Call with rx_lock held.
    ssize_t fill_locked();

    // Waits until fd is ready for `events`, or the direction's generation
    // moves past `gen`, or the port is closed. 0 when ready, else the result
    // code to fail with.
    DWORD wait_ready(short events, bool rx, uint64_t gen);

    void wake(bool rx, bool tx);
};

}  // namespace ce::serial
