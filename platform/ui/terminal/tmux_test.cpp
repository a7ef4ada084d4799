// The sample dialog program in a real terminal: each test starts it in its
// own tmux server (a socket of its own), types with send-keys, reads the
// screen with capture-pane, and kills its server at the end. Waiting is by
// polling the screen until what is expected shows, with a generous deadline.
//
// The sample dialog is 150 x 108 units with a menu bar: 38 x 14 cells of
// client area, a 40 x 17 frame centred on the 100 x 40 screen at (30, 11),
// its client area from (31, 12).
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 30s;

struct Utf8Locale {
    Utf8Locale() { setlocale(LC_CTYPE, "C.UTF-8"); }
} utf8_locale;

std::string quote(const std::string &s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

std::string run(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// Cells a UTF-8 text takes on the screen.
int cells(const std::string &utf8) {
    std::wstring w(utf8.size() + 1, L'\0');
    size_t n = mbstowcs(w.data(), utf8.c_str(), w.size());
    if (n == static_cast<size_t>(-1)) return static_cast<int>(utf8.size());
    w.resize(n);
    int total = 0;
    for (wchar_t c : w) total += std::max(wcwidth(c), 0);
    return total;
}

struct Pos {
    int x = -1, y = -1;
    bool operator==(const Pos &) const = default;
};

std::ostream &operator<<(std::ostream &o, const Pos &p) { return o << "(" << p.x << ", " << p.y << ")"; }

class Tmux {
public:
    // Starts the sample with `args` in a 100 x 40 terminal.
    explicit Tmux(const std::string &args, const std::string &env = "", const std::string &before = "") {
        static int counter = 0;
        socket_ = "ce-terminal-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        char dir[] = "/tmp/ce-terminal-test-XXXXXX";
        dir_ = mkdtemp(dir);
        std::ofstream(dir_ + "/tmux.conf") << "set -g remain-on-exit on\nset -g status off\n";
        mkdir((dir_ + "/root").c_str(), 0700);
        std::string program = before + "env -u TMUX LANG=C.UTF-8 LC_ALL=C.UTF-8 CE_ROOT=" + dir_ + "/root " + env + " " +
                              CE_TERMINAL_SAMPLE + " 2>" + dir_ + "/stderr.txt " + args +
                              "; echo $? >" + dir_ + "/status.tmp; mv " + dir_ + "/status.tmp " + dir_ + "/status.txt";
        tmux("new-session -d -x 100 -y 40 -c " + quote(dir_) + " " + quote(program));
    }
    ~Tmux() {
        tmux("kill-server");
        run("rm -rf " + quote(dir_));
    }

    std::string dir() const { return dir_; }

    std::string tmux(const std::string &args) const {
        return run("env -u TMUX tmux -u -L " + socket_ + " -f " + dir_ + "/tmux.conf " + args + " 2>&1");
    }
    void keys(const std::string &keys) const { tmux("send-keys " + keys); }

    // Lines that scrolled off the top are read too once this is set.
    void with_history() { history_ = true; }

    std::vector<std::string> screen() const {
        std::vector<std::string> rows;
        std::istringstream in(tmux(history_ ? "capture-pane -p -S -100" : "capture-pane -p"));
        for (std::string line; std::getline(in, line);) rows.push_back(line);
        return rows;
    }
    std::string screen_text() const {
        std::string all;
        for (const std::string &r : screen()) all += r + "\n";
        return all;
    }

    // Where a text shows on the screen (column in cells), or (-1, -1).
    Pos find(const std::string &text) const {
        std::vector<std::string> rows = screen();
        for (size_t y = 0; y < rows.size(); ++y) {
            size_t at = rows[y].find(text);
            if (at != std::string::npos) return Pos{cells(rows[y].substr(0, at)), static_cast<int>(y)};
        }
        return Pos{};
    }

    // Whether the screen shows a text starting at a place.
    bool shows(Pos at, const std::string &text) const {
        std::vector<std::string> rows = screen();
        if (at.y < 0 || at.y >= static_cast<int>(rows.size())) return false;
        const std::string &row = rows[static_cast<size_t>(at.y)];
        for (size_t i = 0; i <= row.size(); ++i) {
            if (i < row.size() && (static_cast<unsigned char>(row[i]) & 0xC0) == 0x80) continue;  // inside a character
            if (cells(row.substr(0, i)) == at.x) return row.compare(i, text.size(), text) == 0;
        }
        return false;
    }

    Pos cursor() const {
        Pos p;
        std::istringstream(tmux("display -p '#{cursor_x} #{cursor_y}'")) >> p.x >> p.y;
        return p;
    }

    // Polls until `done` holds; false (and the screen reported) at the deadline.
    bool wait(const std::function<bool()> &done, const std::string &what) const {
        auto until = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < until) {
            if (done()) return true;
            std::this_thread::sleep_for(20ms);
        }
        ADD_FAILURE() << "gave up waiting for " << what << "; the screen:\n" << screen_text();
        return false;
    }
    bool wait_text(const std::string &text) const {
        return wait([&] { return find(text).y >= 0; }, "\"" + text + "\"");
    }
    bool wait_gone(const std::string &text) const {
        return wait([&] { return find(text).y < 0; }, "\"" + text + "\" to go");
    }
    bool wait_cursor(Pos p) const {
        std::ostringstream what;
        what << "the cursor at " << p << " (it is at " << cursor() << ")";
        return wait([&] { return cursor() == p; }, what.str());
    }
    // What the program wrote to standard error.
    std::string errors() const {
        std::ifstream in(dir_ + "/stderr.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // The program's exit status once it has ended, as the shell that ran
    // it saw it (128 + n for signal n); -1 at the deadline.
    int exit_status() const {
        std::string status;
        wait(
            [&] {
                std::ifstream in(dir_ + "/status.txt");
                return static_cast<bool>(std::getline(in, status));
            },
            "the program to end");
        if (status.empty()) return -1;
        return std::stoi(status);
    }

    // The program: the child of the pane's shell.
    pid_t program_pid() const {
        std::string shell = std::to_string(std::stol(tmux("display -p '#{pane_pid}'")));
        std::ifstream in("/proc/" + shell + "/task/" + shell + "/children");
        long pid = 0;
        in >> pid;
        return static_cast<pid_t>(pid);
    }

private:
    std::string socket_;
    std::string dir_;
    bool history_ = false;
};

TEST(TerminalInTmux, DialogShowsItsControlsInPlace) {
    Tmux t("--name Taro");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    struct Case {
        const char *text;
        Pos at;
    };
    const Case cases[] = {
        {"┌─ Sample Dialog ─", {30, 11}},
        {"Name", {32, 13}},
        {"Taro", {42, 13}},        // the field, on the label's row
        {"Notes", {32, 15}},
        {"Line 1", {42, 15}},      // the multi-line field, top row
        {"Line 4", {42, 18}},      // ... and its fourth and last
        {"Speed", {32, 20}},
        {"19200", {42, 20}},       // the combo box with its selection
        {"[ Show ]", {33, 23}},
        {"< OK >", {48, 23}},      // the default button, marked
        {"[ Cancel ]", {57, 23}},
        {"└──", {30, 27}},        // the bottom line, under the menu bar's row
    };
    std::string screen = t.screen_text();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(t.find(c.text), c.at) << screen;
    }
    EXPECT_EQ(t.find("Line 5").y, -1) << "only four rows of notes show";
    // The focus starts in the first field, the caret after its text.
    EXPECT_TRUE(t.wait_cursor(Pos{46, 13}));
}

TEST(TerminalInTmux, JapaneseTextTakesTwoCellsAndKeepsTheFrameAligned) {
    Tmux t("--name 山田太郎");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    EXPECT_EQ(t.find("山田太郎"), (Pos{42, 13}));
    EXPECT_EQ(t.find("日本語: 幅の広い文字|"), (Pos{32, 21}));
    // The caret after four wide characters: eight cells on.
    EXPECT_TRUE(t.wait_cursor(Pos{50, 13}));
    // Every row of the frame ends at the same column, wide text or not.
    std::vector<std::string> rows = t.screen();
    for (int y = 12; y <= 26; ++y) {
        SCOPED_TRACE("row " + std::to_string(y) + ": " + rows[static_cast<size_t>(y)]);
        const std::string &row = rows[static_cast<size_t>(y)];
        size_t last = row.rfind("│");
        ASSERT_NE(last, std::string::npos);
        EXPECT_EQ(cells(row.substr(0, last)), 69);
    }
}

TEST(TerminalInTmux, TabMovesTheFocusAndTheDefaultButton) {
    Tmux t("--name Taro");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    ASSERT_TRUE(t.wait_cursor(Pos{46, 13}));
    struct Step {
        const char *key;
        const char *name;
        Pos cursor;
    };
    const Step steps[] = {
        {"Tab", "notes (caret at the end of the last line, scrolled to it)", {48, 18}},
        {"Tab", "speed", {47, 20}},
        {"Tab", "Show", {35, 23}},
        {"Tab", "OK", {50, 23}},
        {"Tab", "Cancel", {59, 23}},
        {"Tab", "name again", {46, 13}},
        {"BTab", "back to Cancel", {59, 23}},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(std::string(s.key) + " to " + s.name);
        t.keys(s.key);
        EXPECT_TRUE(t.wait_cursor(s.cursor));
    }
    // A focused push button is the one Enter presses, and shows so.
    EXPECT_TRUE(t.wait_text("< Cancel >"));
    EXPECT_TRUE(t.wait_text("[ OK ]"));
    // Tabbing into the notes scrolled them to their last line.
    EXPECT_EQ(t.find("Line 6"), (Pos{42, 18}));
}

TEST(TerminalInTmux, ComboListOpensAndTheChoiceIsTaken) {
    Tmux t("--out result.txt");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    t.keys("Tab Tab");
    ASSERT_TRUE(t.wait_cursor(Pos{47, 20}));
    t.keys("F4");
    // The list opens under the field, four entries of five, the selected
    // one with the cursor.
    ASSERT_TRUE(t.wait_text("57600"));
    const char *entries[] = {"9600", "19200", "38400", "57600"};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(t.shows(Pos{42, 21 + i}, entries[i])) << entries[i] << "\n" << t.screen_text();
    EXPECT_TRUE(t.wait_cursor(Pos{42, 22}));
    t.keys("Down Enter");
    ASSERT_TRUE(t.wait_gone("57600"));
    EXPECT_EQ(t.find("38400"), (Pos{42, 20}));
    // Enter again: the default button ends the dialog with the choice.
    t.keys("Enter");
    EXPECT_EQ(t.exit_status(), 102);
}

TEST(TerminalInTmux, MouseClicksPickAListEntryAndPressAButton) {
    Tmux t("");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    ASSERT_TRUE(t.wait_cursor(Pos{42, 13}));  // up and active: the focus shows
    // Mouse reports as the terminal sends them (X10 encoding: ESC [ M, then
    // button, column and row, each plus 32, counted from 1).
    auto click = [&](int x, int y) {
        char press[64], release[64];
        snprintf(press, sizeof press, "send-keys -H 1b 5b 4d %02x %02x %02x", 32, 33 + x, 33 + y);
        snprintf(release, sizeof release, "send-keys -H 1b 5b 4d %02x %02x %02x", 35, 33 + x, 33 + y);
        t.tmux(press);
        t.tmux(release);
    };
    click(45, 20);  // the combo box's field opens its list
    ASSERT_TRUE(t.wait_text("57600"));
    click(44, 24);  // the fourth entry
    ASSERT_TRUE(t.wait_gone("38400"));
    EXPECT_EQ(t.find("57600"), (Pos{42, 20}));
    click(59, 23);  // Cancel
    EXPECT_EQ(t.exit_status(), 2);
}

TEST(TerminalInTmux, MessageBoxIsShownOverTheDialogAndDismissed) {
    Tmux t("--name Taro");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    t.keys("Tab Tab Tab");
    ASSERT_TRUE(t.wait_cursor(Pos{35, 23}));
    t.keys("Enter");
    ASSERT_TRUE(t.wait_text("Name: Taro"));
    Pos top = t.find("┌─ Sample ─");
    Pos text = t.find("Name: Taro");
    std::string screen = t.screen_text();
    EXPECT_EQ(t.find("Speed: 19200"), (Pos{text.x, text.y + 1})) << screen;
    EXPECT_EQ(t.find(" Info "), (Pos{top.x + 2, text.y})) << "the icon left of the text\n" << screen;
    // Centred over the dialog (columns 30-69, rows 11-27).
    std::string row = t.screen()[static_cast<size_t>(top.y)];
    int width = cells(row.substr(row.find("┌"), row.find("┐") - row.find("┌"))) + 1;
    EXPECT_LE(std::abs((top.x + width / 2) - 50), 1) << screen;
    EXPECT_GT(top.y, 11);
    Pos ok = t.find("< OK >");
    EXPECT_GT(ok.y, text.y);
    EXPECT_TRUE(t.wait_cursor(Pos{ok.x + 2, ok.y}));
    // Enter answers it; the dialog comes back with the focus where it was.
    t.keys("Enter");
    ASSERT_TRUE(t.wait_gone("Name: Taro"));
    EXPECT_TRUE(t.wait_cursor(Pos{35, 23}));
    EXPECT_EQ(t.find("Notes"), (Pos{32, 15}));
}

TEST(TerminalInTmux, KeysEndTheDialogWithTheRightResult) {
    struct Case {
        const char *name;
        std::vector<std::string> sends;  // send-keys arguments, one call each
        int status;
        const char *written;  // what OK wrote, or "" when it was not pressed
    };
    const Case cases[] = {
        {"Enter presses OK", {"Enter"}, 101, "name=Taro\nspeed=19200\n"},
        {"Esc cancels", {"Escape"}, 2, ""},
        {"typed text replaces the selection", {"-l Hanako", "Enter"}, 101, "name=Hanako\nspeed=19200\n"},
        {"UTF-8 typing, Backspace and Home", {"-l 花子", "BSpace Home", "-l 山", "Enter"}, 101,
         "name=山花\nspeed=19200\n"},
        {"arrows move a closed combo's choice", {"Tab Tab Down Down Enter"}, 103, "name=Taro\nspeed=57600\n"},
        {"Cancel by Shift+Tab and Space", {"BTab Space"}, 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tmux t("--name Taro --out result.txt");
        ASSERT_TRUE(t.wait_text("Sample Dialog"));
        ASSERT_TRUE(t.wait_cursor(Pos{46, 13}));
        for (const std::string &send : c.sends) t.keys(send);
        EXPECT_EQ(t.exit_status(), c.status);
        std::ifstream in(t.dir() + "/result.txt");
        std::stringstream got;
        got << in.rdbuf();
        EXPECT_EQ(got.str(), c.written);
    }
}

TEST(TerminalInTmux, ResizeRedrawsAndATooSmallTerminalSaysSo) {
    Tmux t("--name Taro");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    t.tmux("resize-window -x 30 -y 12");
    ASSERT_TRUE(t.wait_text("Terminal too small"));
    EXPECT_NE(t.screen_text().find("40x17"), std::string::npos) << t.screen_text();
    t.tmux("resize-window -x 60 -y 20");
    ASSERT_TRUE(t.wait_text("Sample Dialog"));
    EXPECT_EQ(t.find("┌─ Sample Dialog ─"), (Pos{10, 1}));  // centred again
    EXPECT_EQ(t.find("Taro"), (Pos{22, 3}));
    EXPECT_EQ(t.find("too small").y, -1);
    t.keys("Enter");
    EXPECT_EQ(t.exit_status(), 101);
}

TEST(TerminalInTmux, TheTerminalIsGivenBackOnExitAndOnFatalSignals) {
    struct Case {
        const char *name;
        std::function<void(Tmux &)> end;
        int status;
    };
    const Case cases[] = {
        {"normal end", [](Tmux &t) { t.keys("Escape"); }, 2},
        {"abort", [](Tmux &t) { t.keys("Tab Tab Tab Enter"); }, 128 + SIGABRT},
        {"Ctrl+C", [](Tmux &t) { t.keys("C-c"); }, 128 + SIGINT},
        {"SIGTERM", [](Tmux &t) { kill(t.program_pid(), SIGTERM); }, 128 + SIGTERM},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A shell runs the program, then shows its status and the terminal's
        // line mode: canonical input and echo are back on. (The shell catches
        // SIGINT so that Ctrl+C ends only the program.)
        Tmux t("--crash yes; echo status=$?; stty -a | tr ' ' '\\n' | grep -x -e icanon -e -icanon -e echo -e -echo "
               "| tr '\\n' ' '; echo",
               "", "trap true INT; ");
        ASSERT_TRUE(t.wait_text("Sample Dialog"));
        c.end(t);
        t.with_history();
        std::string want = "status=" + std::to_string(c.status);
        ASSERT_TRUE(t.wait_text(want));
        EXPECT_TRUE(t.wait_text("icanon echo"));
        EXPECT_EQ(t.find("Sample Dialog").y, -1) << "the dialog's screen is gone";
        EXPECT_EQ(t.tmux("display -p '#{alternate_on}'"), "0\n");
    }
}

TEST(TerminalInTmux, FloodOfUpdatesIsCoalescedAndTheDialogStaysResponsive) {
    const long updates = 20000;
    Tmux t("--flood " + std::to_string(updates), "CE_UI_STATS=stats.txt");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(t.wait_text("done " + std::to_string(updates)));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.keys("Enter");
    EXPECT_EQ(t.exit_status(), 101);
    std::ifstream in(t.dir() + "/stats.txt");
    unsigned long requested = 0, frames = 0, sent = 0;
    std::string line;
    std::getline(in, line);
    ASSERT_EQ(sscanf(line.c_str(), "requested=%lu frames=%lu cells=%lu", &requested, &frames, &sent), 3) << line;
    printf("%ld updates in %.2f s: %lu draws asked, %lu frames painted, %lu cells sent\n", updates, seconds,
           requested, frames, sent);
    // Frames are coalesced: far fewer than updates, never more than asked.
    EXPECT_LT(frames, static_cast<unsigned long>(updates));
    EXPECT_LE(frames, requested + 2);
}

// A queue that never runs dry must not freeze the screen nor lock the user
// out: frames still come and Esc still ends the dialog mid-flood.
TEST(TerminalInTmux, NeverEndingFloodStillDrawsAndTakesKeys) {
    Tmux t("--flood 1000000000 --steady yes");
    ASSERT_TRUE(t.wait_text("update ")) << "nothing drawn while the queue is busy";
    t.keys("Escape");
    EXPECT_EQ(t.exit_status(), 2) << "Esc not taken while the queue is busy";
}

}  // namespace
