#include "sync/child.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ce::test {

Child::Child(const std::vector<std::string> &argv, const std::vector<std::string> &extra_env) {
    int in_pipe[2], out_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env_store;
    for (char **e = environ; *e; ++e) env_store.emplace_back(*e);
    for (const std::string &e : extra_env) env_store.push_back(e);
    std::vector<char *> env;
    for (std::string &e : env_store) env.push_back(e.data());
    env.push_back(nullptr);
    int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    in_ = in_pipe[1];
    out_ = out_pipe[0];
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
}

std::string Child::read_line() {
    for (;;) {
        size_t nl = pending_.find('\n');
        if (nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return line;
        }
        char buf[256];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::string rest;
            rest.swap(pending_);
            return rest;
        }
        pending_.append(buf, static_cast<size_t>(n));
    }
}

void Child::close_input() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

void Child::kill_now(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

int Child::wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace ce::test
