// The converter's progress line, drawn through a recording console and timed by a clock the
// test sets by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/console_progress.h"

namespace qelva::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class ManualClock final : public Clock {
 public:
  Duration Now() override { return now; }
  Duration now{seconds(1000)};
};

// Everything in one sequence: "out:", "err:", "bar:" (an empty "bar:" clears the line).
class TerminalConsole final : public Console {
 public:
  void Out(std::string_view line) override { events.push_back("out:" + std::string(line)); }
  void Err(std::string_view line) override { events.push_back("err:" + std::string(line)); }
  bool ErrIsTerminal() const override { return true; }
  void Progress(std::string_view text) override { events.push_back("bar:" + std::string(text)); }
  std::vector<std::string> events;
};

std::string Text(size_t done, size_t total, Clock::Duration elapsed) {
  return ProgressLine::Text(done, total, elapsed);
}

TEST(ProgressLine, ShowsTheBarThePicturesDoneTheRateAndTheTimeLeftRoundedUp) {
  EXPECT_EQ(Text(0, 420, seconds(2)), "[--------------------]  0/420  - files/s  -:-- left");
  EXPECT_EQ(Text(105, 420, seconds(3)), "[#####---------------]  105/420  35.0 files/s  0:09 left");
  // 1 of 3 in 1.5 s: 0.7 files/s, 3 s left.
  EXPECT_EQ(Text(1, 3, milliseconds(1500)), "[######--------------]  1/3  0.7 files/s  0:03 left");
  // 2 of 7 in 1 s: 2.5 s left shows as 3.
  EXPECT_EQ(Text(2, 7, seconds(1)), "[#####---------------]  2/7  2.0 files/s  0:03 left");
  // 1 of 10000 in 1 s: 9999 s left, 2 h 46 min 39 s.
  EXPECT_EQ(Text(1, 10000, seconds(1)),
            "[--------------------]  1/10000  1.0 files/s  2:46:39 left");
  EXPECT_EQ(Text(419, 420, seconds(60)), "[###################-]  419/420  7.0 files/s  0:01 left");
  EXPECT_EQ(Text(420, 420, seconds(60)), "[####################]  420/420  7.0 files/s  0:00 left");
  EXPECT_EQ(Text(5, 5, Clock::Duration::zero()),
            "[####################]  5/5  - files/s  -:-- left");
}

TEST(ProgressLine, IsDrawnAtMostOnceAnIntervalAndNotBeforeTheFirstIntervalHasPassed) {
  ManualClock clock;
  TerminalConsole console;
  ProgressLine line(console, clock, 10, true);
  std::vector<std::string> expected;
  line.Update(1);  // at the start: a quick run never draws
  clock.now += milliseconds(99);
  line.Update(2);
  EXPECT_EQ(console.events, expected);

  clock.now += milliseconds(1);
  line.Update(3);
  expected.push_back("bar:" + Text(3, 10, milliseconds(100)));
  clock.now += milliseconds(60);
  line.Update(4);  // 60 ms after the drawing
  clock.now += milliseconds(39);
  line.Update(5);  // 99 ms after
  EXPECT_EQ(console.events, expected);
  clock.now += milliseconds(1);
  line.Update(6);
  expected.push_back("bar:" + Text(6, 10, milliseconds(200)));
  EXPECT_EQ(console.events, expected);

  line.Finish();
  expected.push_back("bar:");
  clock.now += seconds(5);
  line.Update(10);  // after the end nothing is drawn any more
  line.Finish();
  EXPECT_EQ(console.events, expected);
}

TEST(ProgressLine, LinesClearTheDrawnLineFirstAndItIsDrawnAgainAtTheNextUpdate) {
  ManualClock clock;
  TerminalConsole console;
  ProgressLine line(console, clock, 4, true);
  line.Err("before any drawing");
  clock.now += milliseconds(150);
  line.Update(1);
  line.Err("a.bin: broken");
  line.Out("b.bin\t112x112x8");
  line.Update(1);  // drawn 0 ms ago: stays away
  clock.now += milliseconds(100);
  line.Update(1);  // the same text as before, but the line was cleared: drawn again
  line.Update(1);
  EXPECT_EQ(console.events, (std::vector<std::string>{
                                "err:before any drawing", "bar:" + Text(1, 4, milliseconds(150)),
                                "bar:", "err:a.bin: broken", "out:b.bin\t112x112x8",
                                "bar:" + Text(1, 4, milliseconds(250))}));
}

TEST(ProgressLine, AHiddenLineIsNeverDrawnAndLinesPassStraightOn) {
  ManualClock clock;
  TerminalConsole console;
  {
    ProgressLine line(console, clock, 3, false);
    for (size_t done = 0; done <= 3; ++done) {
      clock.now += seconds(1);
      line.Update(done);
      line.Err("e" + std::to_string(done));
    }
  }
  EXPECT_EQ(console.events, (std::vector<std::string>{"err:e0", "err:e1", "err:e2", "err:e3"}));
}

TEST(ProgressLine, GoingOutOfScopeClearsADrawnLine) {
  ManualClock clock;
  TerminalConsole console;
  {
    ProgressLine line(console, clock, 3, true);
    clock.now += seconds(1);
    line.Update(1);
  }
  EXPECT_EQ(console.events, (std::vector<std::string>{"bar:" + Text(1, 3, seconds(1)), "bar:"}));
}

}  // namespace
}  // namespace qelva::cli
