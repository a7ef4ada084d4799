// CreateProcessA and the process object: a started program is a host
// process; a thread of ours reaps it and records how it ended.
#include "ce/file.h"
#include "core/handles.h"
#include "file/cmdline.h"
#include "file/paths.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using ce::file::error_from_errno;

constexpr DWORD kWaitObject0 = 0;
constexpr DWORD kWaitTimeout = 0x102;
constexpr DWORD kInfinite = 0xFFFFFFFF;

// How a started process stands; shared by its process and thread handles
// and by the thread that reaps it.
struct ProcessState {
    pid_t pid = 0;
    std::mutex lock;
    std::condition_variable ended_cv;
    bool ended = false;     // written by the reaper under `lock`
    DWORD exit_code = 0;    // valid once `ended`

    DWORD wait(DWORD timeout_ms) {
        std::unique_lock<std::mutex> guard(lock);
        if (timeout_ms == kInfinite) {
            ended_cv.wait(guard, [this] { return ended; });
            return kWaitObject0;
        }
        bool done = ended_cv.wait_for(guard, std::chrono::milliseconds(timeout_ms), [this] { return ended; });
        return done ? kWaitObject0 : kWaitTimeout;
    }
};

struct ProcessObject : ce::Object {
    explicit ProcessObject(std::shared_ptr<ProcessState> s) : ce::Object(ce::ObjectKind::Process), state(std::move(s)) {}
    DWORD wait(DWORD timeout_ms) override { return state->wait(timeout_ms); }
    std::shared_ptr<ProcessState> state;
};

// The started program's one thread: signalled when the process ends.
struct MainThreadObject : ce::Object {
    explicit MainThreadObject(std::shared_ptr<ProcessState> s) : ce::Object(ce::ObjectKind::Other), state(std::move(s)) {}
    DWORD wait(DWORD timeout_ms) override { return state->wait(timeout_ms); }
    std::shared_ptr<ProcessState> state;
};

void reap(std::shared_ptr<ProcessState> state) {
    int status = 0;
    pid_t got;
    do {
        got = waitpid(state->pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    DWORD code = 0;
    if (got == state->pid) {
        if (WIFEXITED(status)) code = static_cast<DWORD>(WEXITSTATUS(status));
        else if (WIFSIGNALED(status)) code = 128 + static_cast<DWORD>(WTERMSIG(status));
    }
    std::lock_guard<std::mutex> guard(state->lock);
    state->exit_code = code;
    state->ended = true;
    state->ended_cv.notify_all();
}

bool has_separator(const std::string &name) { return name.find_first_of("\\/:") != std::string::npos; }

// The host file of a program path, looked for as the platform does: a bare
// name beside the running program, then in the working directory.
bool find_program(const std::string &windows, std::string *host) {
    auto try_path = [host](const std::string &path) {
        std::string candidate;
        DWORD error;
        struct stat st;
        if (!ce::file::to_host_path(path.c_str(), &candidate, &error) || stat(candidate.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            return false;
        *host = candidate;
        return true;
    };
    if (!has_separator(windows)) {
        char self[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        std::string dir;
        if (n > 0) {
            self[n] = '\0';
            std::string exe = self;
            if (ce::file::to_windows_path(exe.substr(0, exe.find_last_of('/')), &dir) &&
                try_path(dir + (dir.back() == '\\' ? "" : "\\") + windows))
                return true;
        }
    }
    return try_path(windows);
}

// A file this host can run: an ELF image or a script naming its interpreter.
bool is_host_executable(const std::string &host) {
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char head[4] = {};
    ssize_t n = read(fd, head, sizeof head);
    close(fd);
    if (n >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return true;
    return n >= 2 && head[0] == '#' && head[1] == '!';
}

// The child's environment: the caller's block (ANSI "A=1\0B=2\0\0") or ours,
// with the command line added.
bool build_environment(LPVOID block, const std::string &command_line, std::vector<std::string> *env) {
    const std::string key = "CE_COMMAND_LINE=";
    auto add = [&](const std::string &entry) {
        if (entry.rfind(key, 0) != 0) env->push_back(entry);
    };
    if (block) {
        for (const char *p = static_cast<const char *>(block); *p; p += strlen(p) + 1) {
            std::string entry;
            if (!ce::file::ansi_to_host(p, &entry)) return false;
            add(entry);
        }
    } else {
        for (char **p = environ; *p; ++p) add(*p);
    }
    env->push_back(key + command_line);
    return true;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> out;
    for (std::string &s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    if (!lpStartupInfo || !lpProcessInformation || ((!lpApplicationName || !*lpApplicationName) &&
                                                    (!lpCommandLine || !*lpCommandLine))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string command_line = lpCommandLine && *lpCommandLine ? lpCommandLine : lpApplicationName;

    // The program: exactly the one named, or the first candidate of the
    // command line that exists.
    std::string program;
    if (lpApplicationName && *lpApplicationName) {
        DWORD error = 0;
        struct stat st;
        if (!ce::file::to_host_path(lpApplicationName, &program, &error)) {
            SetLastError(error);
            return FALSE;
        }
        if (stat(program.c_str(), &st) != 0) {
            SetLastError(errno == ENOENT ? ce::file::not_found_error(program) : error_from_errno(errno));
            return FALSE;
        }
        if (!S_ISREG(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    } else {
        bool found = false;
        for (const std::string &candidate : ce::file::program_candidates(command_line))
            if ((found = find_program(candidate, &program))) break;
        if (!found) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
    }
    if (!is_host_executable(program)) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return FALSE;
    }

    // Arguments, environment and working directory of the child, in the
    // host's encoding.
    std::string host_line;
    std::vector<std::string> env;
    if (!ce::file::ansi_to_host(command_line, &host_line) || !build_environment(lpEnvironment, host_line, &env)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> args = ce::file::split_command_line(host_line);
    if (args.empty()) args.push_back(program);
    std::string directory;
    if (lpCurrentDirectory && *lpCurrentDirectory) {
        DWORD error = 0;
        struct stat st;
        if (!ce::file::to_host_path(lpCurrentDirectory, &directory, &error) || stat(directory.c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char *> argv = pointers(args), envp = pointers(env);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        SetLastError(rc == ENOENT ? ERROR_FILE_NOT_FOUND : error_from_errno(rc));
        return FALSE;
    }

    auto state = std::make_shared<ProcessState>();
    state->pid = pid;
    std::thread(reap, state).detach();
    lpProcessInformation->hProcess = ce::handle_insert(std::make_shared<ProcessObject>(state));
    lpProcessInformation->hThread = ce::handle_insert(std::make_shared<MainThreadObject>(state));
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto process = ce::handle_get<ProcessObject>(hProcess, ce::ObjectKind::Process);
    if (!process || !lpExitCode) {
        SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(process->state->lock);
    *lpExitCode = process->state->ended ? process->state->exit_code : STILL_ACTIVE;
    return TRUE;
}
