// Frame pacing: frames at most every `interval`; a frame asked for sooner
// is put off to the moment it is due, and asking again meanwhile does not
// move that moment.
#pragma once

#include <chrono>
#include <optional>

namespace ce::ui::term {

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;
    explicit FramePacer(Clock::duration interval) : interval_(interval) {}

    // A frame is wanted at `now`: empty when it may be drawn at once, else
    // the time at which it is due.
    std::optional<Clock::time_point> wanted(Clock::time_point now) const {
        if (!drawn_ || now >= *drawn_ + interval_) return std::nullopt;
        return *drawn_ + interval_;
    }
    // A frame went out at `now`.
    void drawn(Clock::time_point now) { drawn_ = now; }

private:
    Clock::duration interval_;
    std::optional<Clock::time_point> drawn_;
};

}  // namespace ce::ui::term
