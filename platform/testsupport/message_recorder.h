// Records the messages that windows receive, so that tests can compare the
// order of what arrived with a table of what should arrive.
#pragma once

#include "platform.h"

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace ce::test {

struct Recorded {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

class MessageRecorder {
public:
    void add(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // What arrived, keeping only the listed messages (all when empty).
    std::vector<Recorded> take(std::initializer_list<UINT> only = {});
    std::vector<UINT> messages(std::initializer_list<UINT> only = {});
    size_t count(UINT msg);

private:
    std::mutex m_;
    std::vector<Recorded> all_;
};

// The process's recorder, and a window class ("recorder") whose windows
// record every message and then leave it to DefWindowProcW. WM_DESTROY of a
// recorder window also posts the quit request with code 0.
MessageRecorder &recorder();
const WCHAR *recorder_class();

// Names of the common messages, for readable failures.
std::string message_name(UINT msg);

}  // namespace ce::test
