// A child process for cross-process tests: started with arguments and extra
// environment, its standard input and output connected to the test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ce::test {

class Child {
public:
    Child(const std::vector<std::string> &argv, const std::vector<std::string> &extra_env = {});
    ~Child();  // kills a child still running
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // One line of the child's output without the newline; empty at its end.
    std::string read_line();
    // Closes the child's standard input (its signal to finish).
    void close_input();
    void kill_now(int signal);
    // Waits for the end: the exit code, or 128 + signal.
    int wait();

private:
    pid_t pid_ = -1;
    int in_ = -1;   // the child's standard input
    int out_ = -1;  // the child's standard output
    std::string pending_;
};

}  // namespace ce::test
