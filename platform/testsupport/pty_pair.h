// A pseudo-terminal pair for tests: the port side is a real tty device (the
// path a COM port is mapped to), the far end is served by a peer thread that
// echoes what arrives, records it, or stays quiet; the test can write to the
// port from the far end at any time and hang the line up.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace ce::test {

class PtyPair {
public:
    enum class Peer {
        Quiet,   // reads nothing: what the port sends stays queued
        Echo,    // sends every byte back
        Record,  // keeps every byte for received()
    };

    explicit PtyPair(Peer peer = Peer::Record);
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // The tty device the port opens, e.g. /dev/pts/7.
    const std::string &path() const { return path_; }
    // The far end; tcgetattr on it reads the port side's settings.
    int far_fd() const { return master_; }

    // Maps COMn to this pair in the registry of the current CE_ROOT.
    void map_com(int number) const;

    // Writes bytes into the port's input, all of them.
    void send(const std::string &bytes);
    // What the peer has recorded so far.
    std::string received() const;
    // Waits until at least `count` bytes are recorded or `timeout_ms` pass;
    // true when they are there.
    bool wait_received(size_t count, int timeout_ms = 20000) const;

    // Hangs up the line: the peer stops and the far end is closed.
    void hang_up();

private:
    void serve();

    Peer peer_;
    int master_ = -1;
    int keeper_ = -1;  // a port-side descriptor that keeps the line up before the port opens
    int stop_[2] = {-1, -1};
    std::string path_;
    std::mutex send_lock_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::string received_;
    std::thread thread_;
};

}  // namespace ce::test
