#include "testsupport/pty_pair.h"

#include "platform.h"
#include "core/codepage.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace ce::test {
namespace {

void write_all(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return;  // the line is gone
        }
    }
}

}  // namespace

PtyPair::PtyPair(Peer peer) : peer_(peer) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname failed");
    path_ = name;
    keeper_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keeper_ < 0) throw std::runtime_error("cannot open " + path_);
    // The far end passes bytes through untouched.
    termios t;
    tcgetattr(keeper_, &t);
    cfmakeraw(&t);
    tcsetattr(keeper_, TCSANOW, &t);
    if (pipe2(stop_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { serve(); });
}

PtyPair::~PtyPair() {
    hang_up();
    if (keeper_ >= 0) close(keeper_);
    close(stop_[0]);
    close(stop_[1]);
}

void PtyPair::map_com(int number) const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Platform\\Ports", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create Platform\\Ports");
    std::u16string name = ce::from_utf8("COM" + std::to_string(number));
    std::u16string value = ce::from_utf8(path_);
    LONG rc = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot map COM" + std::to_string(number));
}

void PtyPair::send(const std::string &bytes) {
    std::lock_guard<std::mutex> guard(send_lock_);  // whole sends do not interleave
    if (master_ >= 0) write_all(master_, bytes.data(), bytes.size());
}

std::string PtyPair::received() const {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

bool PtyPair::wait_received(size_t count, int timeout_ms) const {
    std::unique_lock<std::mutex> guard(lock_);
    return arrived_.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                             [&] { return received_.size() >= count; });
}

void PtyPair::hang_up() {
    if (thread_.joinable()) {
        char c = 0;
        ssize_t n = write(stop_[1], &c, 1);
        (void)n;
        thread_.join();
    }
    std::lock_guard<std::mutex> guard(send_lock_);
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPair::serve() {
    if (peer_ == Peer::Quiet) {
        char c;
        ssize_t n = read(stop_[0], &c, 1);
        (void)n;
        return;
    }
    char buf[65536];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) {
            // Nothing to read but the line is down (no port-side opener): wait for the stop.
            poll(&fds[1], 1, -1);
            return;
        }
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            poll(&fds[1], 1, -1);
            return;
        }
        if (peer_ == Peer::Echo) {
            write_all(master_, buf, static_cast<size_t>(n));
        } else {
            std::lock_guard<std::mutex> guard(lock_);
            received_.append(buf, static_cast<size_t>(n));
        }
        arrived_.notify_all();
    }
}

}  // namespace ce::test
