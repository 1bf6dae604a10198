// The replay script language: what a good script says, and the line and reason for a bad one.
#include <gtest/gtest.h>

#include "Tools/Replay/Script.h"

static std::vector<ScriptCommand> Parse(const std::string& text, std::string* error = nullptr) {
  std::vector<ScriptCommand> commands;
  std::string ignored;
  ParseScript(text, "s.txt", &commands, error ? error : &ignored);
  return commands;
}

static std::string ErrorOf(const std::string& text) {
  std::string error;
  EXPECT_TRUE(Parse(text, &error).empty()) << text;
  return error;
}

TEST(ScriptTest, CommandsAtExactTimesWithCommentsAndBlankLines) {
  std::vector<ScriptCommand> c = Parse(
      "# a press on Coin\n"
      "\n"
      "at 100ms down 20 250\n"
      "at 150ms move 40.5 260   # dragged\n"
      "at 0.2s up 40 260\n"
      "at 1.5s shot pressed.png\n"
      "at 5s end\n");
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c[0].kind, ScriptCommand::kTouch);
  EXPECT_EQ(c[0].phase, kPlatTouchBegan);
  EXPECT_EQ(c[0].at_ns, 100000000u);
  EXPECT_EQ(c[0].point.y, 250);
  EXPECT_EQ(c[1].phase, kPlatTouchMoved);
  EXPECT_EQ(c[1].point.x, 40.5f);
  EXPECT_EQ(c[2].at_ns, 200000000u);
  EXPECT_EQ(c[2].phase, kPlatTouchEnded);
  EXPECT_EQ(c[3].kind, ScriptCommand::kShot);
  EXPECT_EQ(c[3].file, "pressed.png");
  EXPECT_EQ(c[3].at_ns, 1500000000u);
  EXPECT_EQ(c[4].kind, ScriptCommand::kEnd);
  EXPECT_EQ(c[4].line, 7);
  EXPECT_EQ(Parse("at 0.000000001s end\n")[0].at_ns, 1u);  // to the nanosecond
  EXPECT_EQ(Parse("\xEF\xBB\xBF" "at 1s end\n").size(), 1u);  // after an editor's byte-order mark
}

TEST(ScriptTest, ABadLineGivesItsNumberAndWhatIsWrongAndNoCommandsAtAll) {
  EXPECT_EQ(ErrorOf("at 1s down 1 2\ndown 1 2\n"),
            "s.txt:2: a line starts with 'at' and a time, as in: at 100ms down 20 250");
  EXPECT_EQ(ErrorOf("at 1 down 1 2\n"),
            "s.txt:1: '1' is not a time: a number and ms or s, as in 250ms or 1.5s");
  EXPECT_EQ(ErrorOf("at 1.2.3s end\n"),
            "s.txt:1: '1.2.3s' is not a time: a number and ms or s, as in 250ms or 1.5s");
  EXPECT_EQ(ErrorOf("at 0.0000000001s end\n"),
            "s.txt:1: '0.0000000001s' is not a time: a number and ms or s, as in 250ms or 1.5s");
  EXPECT_EQ(ErrorOf("at 2s end\nat 1s down 1 2\n"), "s.txt:2: nothing can come after 'end'");
  EXPECT_EQ(ErrorOf("at 2s up 1 2\nat 1s down 1 2\n"), "s.txt:2: 1s is earlier than the line before");
  EXPECT_EQ(ErrorOf("at 1s\n"), "s.txt:1: a time needs a command: down, move, up, shot or end");
  EXPECT_EQ(ErrorOf("at 1s down 1\n"), "s.txt:1: 'down' takes x and y, in points");
  EXPECT_EQ(ErrorOf("at 1s move 1 2 3\n"), "s.txt:1: 'move' takes x and y, in points");
  EXPECT_EQ(ErrorOf("at 1s up one 2\n"), "s.txt:1: 'up' takes x and y, in points");
  EXPECT_EQ(ErrorOf("at 1s shot\n"), "s.txt:1: 'shot' takes one file name");
  EXPECT_EQ(ErrorOf("at 1s end now\n"), "s.txt:1: 'end' takes nothing after it");
  EXPECT_EQ(ErrorOf("at 1s jump 1 2\n"), "s.txt:1: unknown command 'jump': down, move, up, shot or end");
}

TEST(ScriptTest, TimesAreWrittenShortForTheContactSheet) {
  EXPECT_EQ(FormatTime(0), "0 ms");
  EXPECT_EQ(FormatTime(250000000), "250 ms");
  EXPECT_EQ(FormatTime(1000000000), "1 s");
  EXPECT_EQ(FormatTime(1500000000), "1.5 s");
  EXPECT_EQ(FormatTime(12345000000), "12.345 s");
}
