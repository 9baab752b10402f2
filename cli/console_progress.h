// The progress line of a conversion on a terminal: pictures done of all, files per second and
// the time left, redrawn in place at most ten times a second and cleared at the end. The run's
// own lines (errors, --list lines) go through it, so that none is written into the drawn line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/console.h"

namespace qelva::cli {

// Where the progress line reads the time; tests hand it a clock they move themselves.
class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  virtual ~Clock() = default;
  // The time since some fixed moment; it never goes back.
  virtual Duration Now() = 0;
};

// The machine's monotonic clock.
inline Clock& SteadyClock() {
  class Steady final : public Clock {
   public:
    Duration Now() override { return std::chrono::steady_clock::now().time_since_epoch(); }
  };
  static Steady clock;
  return clock;
}

class ProgressLine {
 public:
  static constexpr std::chrono::milliseconds kRedrawInterval{100};
  static constexpr size_t kBarWidth = 20;

  // With shown false (standard error no terminal, or --quiet) nothing is ever drawn and the
  // lines are passed straight on. The first drawing comes one interval after the start, so a
  // run that ends sooner leaves the terminal as it was.
  ProgressLine(Console& console, Clock& clock, size_t total, bool shown)
      : console_(console),
        clock_(clock),
        total_(total),
        shown_(shown),
        start_(clock.Now()),
        lastDraw_(start_) {}
  ~ProgressLine() { Finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // A line of the run: the progress line is cleared first and drawn again by the next Update.
  void Out(std::string_view line) {
    Hide();
    console_.Out(line);
  }
  void Err(std::string_view line) {
    Hide();
    console_.Err(line);
  }

  // `done` pictures are finished: redraws the line unless it was drawn less than an interval ago.
  void Update(size_t done) {
    if (!shown_ || finished_) return;
    const Clock::Duration now = clock_.Now();
    if (now - lastDraw_ < kRedrawInterval) return;
    std::string text = Text(done, total_, now - start_);
    if (drawn_ && text == text_) return;
    console_.Progress(text);
    text_ = std::move(text);
    drawn_ = true;
    lastDraw_ = now;
  }

  // Clears the line for good; later updates draw nothing.
  void Finish() {
    Hide();
    finished_ = true;
  }

  // "[#####---------------]  105/420  35.0 files/s  0:09 left": the bar, pictures done of all,
  // the average rate so far and the time the rest takes at that rate (rounded up to seconds).
  static std::string Text(size_t done, size_t total, Clock::Duration elapsed) {
    const size_t filled = done >= total ? kBarWidth : done * kBarWidth / total;
    std::string text(1, '[');
    text.append(filled, '#').append(kBarWidth - filled, '-').append("]  ");
    text.append(std::to_string(done)).append("/").append(std::to_string(total)).append("  ");
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (done == 0 || seconds <= 0) return text.append("- files/s  -:-- left");
    const double rate = static_cast<double>(done) / seconds;
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, "%.1f", rate);
    const size_t rest = done >= total ? 0 : total - done;
    const double leftSeconds = static_cast<double>(rest) * seconds / static_cast<double>(done);
    auto left = static_cast<unsigned long long>(leftSeconds);
    if (static_cast<double>(left) < leftSeconds) ++left;
    return text.append(rateText).append(" files/s  ").append(Duration(left)).append(" left");
  }

 private:
  // m:ss, or h:mm:ss from an hour on.
  static std::string Duration(unsigned long long seconds) {
    char out[48];
    if (seconds >= 3600) {
      std::snprintf(out, sizeof out, "%llu:%02llu:%02llu", seconds / 3600, seconds / 60 % 60,
                    seconds % 60);
    } else {
      std::snprintf(out, sizeof out, "%llu:%02llu", seconds / 60, seconds % 60);
    }
    return out;
  }

  void Hide() {
    if (!drawn_) return;
    console_.Progress({});
    drawn_ = false;
    text_.clear();
  }

  Console& console_;
  Clock& clock_;
  const size_t total_;
  const bool shown_;
  const Clock::Duration start_;
  Clock::Duration lastDraw_;
  std::string text_;
  bool drawn_ = false;
  bool finished_ = false;
};

}  // namespace qelva::cli
