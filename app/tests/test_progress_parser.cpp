// What the controller recognises in the flash tool's output: progress, geometry and completion.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <string_view>

#include "PlainLabel.h"
#include "test_support.h"

namespace {

// The state a chunk of text starts from: an installation that has just begun.
constexpr double kStartBar = 0.0;
const char* const kStartKey = "op.flashing";
constexpr int kStartPercent = 0;

struct ParseCase {
  const char* name;
  const char16_t* text;
  double bar;
  const char* key;
  int percent;
  const char16_t* geometry;  // null: no geometry stored
};

class ProgressParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ProgressParsing, TurnsOutputIntoBarOperationAndGeometry) {
  const ParseCase& c = GetParam();
  Harness h;
  h.launch();
  h.app().setProgressValue(kStartBar);
  h.app().setOperation(QString::fromLatin1(kStartKey), kStartPercent);

  h.app().parseProgressFromText(QString::fromUtf16(c.text));

  EXPECT_EQ(h.app().progressValue(), c.bar) << c.name;
  EXPECT_EQ(h.app().operationKey(), QString::fromLatin1(c.key)) << c.name;
  EXPECT_EQ(h.app().operationPercent(), c.percent) << c.name;
  const QString geometry = c.geometry ? QString::fromUtf16(c.geometry) : QString();
  EXPECT_EQ(h.app().deviceGeometry(), geometry) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProgressParsing,
    ::testing::Values(
        ParseCase{"last erase record", u"Erase 100% (64/64)", 50, "op.erase", 100, nullptr},
        ParseCase{"first erase record keeps the half step", u"Erase   1% (1/128)", 0.5, "op.erase",
                  1, nullptr},
        ParseCase{"write at half", u"Write  50% (2/4)", 75, "op.write", 50, nullptr},
        ParseCase{"odd write number", u"Write   3% (3/100)", 51.5, "op.write", 3, nullptr},
        ParseCase{"last write record", u"Write 100% (4/4)", 100, "op.write", 100, nullptr},
        ParseCase{"leading and trailing blanks", u"   Erase  40% (2/5)  \t", 20, "op.erase", 40,
                  nullptr},
        ParseCase{"no-break space is trimmed", u"\u00a0Write 10%\u2003", 55, "op.write", 10,
                  nullptr},
        ParseCase{"lower-case word", u"erase 40%", kStartBar, kStartKey, kStartPercent, nullptr},
        ParseCase{"no percent sign", u"Erase 12", 6, "op.erase", 12, nullptr},
        ParseCase{"no space before the number", u"Erase12%", 6, "op.erase", 12, nullptr},
        ParseCase{"erase phase line", u"Erasing flash...", kStartBar, kStartKey, kStartPercent,
                  nullptr},
        ParseCase{"write phase line", u"Writing firmware...", kStartBar, kStartKey, kStartPercent,
                  nullptr},
        ParseCase{"erase failure", u"Erase failed at block 3.", kStartBar, kStartKey, kStartPercent,
                  nullptr},
        ParseCase{"write failure", u"Write failed at offset 0x00008000.", kStartBar, kStartKey,
                  kStartPercent, nullptr},
        ParseCase{"number above 100", u"Erase 250%", 50, "op.erase", 100, nullptr},
        ParseCase{"write above 100", u"Write 101%", 100, "op.write", 100, nullptr},
        ParseCase{"minus sign wraps to a huge number", u"Erase -1%", 50, "op.erase", 100, nullptr},
        ParseCase{"minus sign on write", u"Write -7%", 100, "op.write", 100, nullptr},
        ParseCase{"largest unsigned number", u"Erase 4294967295%", 50, "op.erase", 100, nullptr},
        ParseCase{"number after text does not count", u"Flashing Erase 5%", kStartBar, kStartKey,
                  kStartPercent, nullptr},
        ParseCase{"geometry line stored whole and trimmed",
                  u"  Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).  ", kStartBar,
                  kStartKey, kStartPercent,
                  u"Flash geometry: 64 blocks x 65536 bytes (4194304 bytes)."},
        ParseCase{"geometry anywhere in the line", u"note: Flash geometry: odd", kStartBar,
                  kStartKey, kStartPercent, u"note: Flash geometry: odd"},
        ParseCase{"completion line",
                  u"OS upload complete. Restart the MPC4000 after the device reports completion.",
                  100, "op.done", -1, nullptr},
        ParseCase{"geometry wins over completion", u"Flash geometry: OS upload complete", kStartBar,
                  kStartKey, kStartPercent, u"Flash geometry: OS upload complete"},
        ParseCase{"several lines, the last stays", u"Erase  10%\nErase  20%\nErase  30%\n", 15,
                  "op.erase", 30, nullptr},
        ParseCase{"carriage return turned line feed pair", u"\nErase  50%\n\nWrite   2%", 51,
                  "op.write", 2, nullptr},
        ParseCase{"vertical tab separates", u"Erase 10%\vWrite 20%", 60, "op.write", 20, nullptr},
        ParseCase{"form feed separates", u"Erase 10%\fErase 30%", 15, "op.erase", 30, nullptr},
        ParseCase{"next line separates", u"Erase 10%\u0085Erase 40%", 20, "op.erase", 40, nullptr},
        ParseCase{"line separator separates", u"Erase 10%\u2028Erase 60%", 30, "op.erase", 60,
                  nullptr},
        ParseCase{"paragraph separator separates", u"Erase 10%\u2029Write 80%", 90, "op.write", 80,
                  nullptr},
        ParseCase{"empty text", u"", kStartBar, kStartKey, kStartPercent, nullptr},
        ParseCase{"only line ends", u"\n\n\r\n", kStartBar, kStartKey, kStartPercent, nullptr}));

TEST(ProgressParsing, ALineSplitBetweenTwoChunksMatchesInNeither) {
  Harness h;
  h.launch();
  h.app().setOperation(QStringLiteral("op.flashing"), 0);
  h.app().parseProgressFromText(QStringLiteral("Era"));
  h.app().parseProgressFromText(QStringLiteral("se  40% (2/5)"));
  EXPECT_EQ(h.app().operationKey(), QStringLiteral("op.flashing"));
  EXPECT_EQ(h.app().progressValue(), 0.0);
}

TEST(ProgressParsing, GeometryIsShownOnlyAtTheNextRefresh) {
  Harness h;
  h.launch();
  h.app().setDeviceState(DeviceStateReady);
  h.app().refreshTexts();
  h.app().parseProgressFromText(
      QStringLiteral("Flash geometry: 16 blocks x 4096 bytes (65536 bytes).\n"));
  EXPECT_EQ(h.app().deviceDetailLabel()->text(), QString());
  h.app().refreshTexts();
  EXPECT_EQ(h.app().deviceDetailLabel()->text(),
            QStringLiteral("Flash geometry: 16 blocks x 4096 bytes (65536 bytes)."));
}

struct ChunkCase {
  const char* name;
  QByteArray bytes;
  std::u16string_view text;
};

class OutputDecoding : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(OutputDecoding, DecodesUtf8ElseLatin1) {
  const ChunkCase& c = GetParam();
  EXPECT_EQ(AppDelegate::decodeOutputChunk(c.bytes), QStringView(c.text).toString()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, OutputDecoding,
    ::testing::Values(
        ChunkCase{"ascii", QByteArray("Erase  5% (1/20)"), u"Erase  5% (1/20)"},
        ChunkCase{"utf-8 text", QByteArray("\xd0\x9f\xd1\x80\xd0\xb8"), u"\u041f\u0440\u0438"},
        ChunkCase{"latin-1 byte", QByteArray("caf\xe9"), u"caf\u00e9"},
        ChunkCase{"first half of a character", QByteArray("ab\xc3"), u"ab\u00c3"},
        ChunkCase{"second half of a character", QByteArray("\xa9 cd"), u"\u00a9 cd"},
        ChunkCase{"byte order mark kept", QByteArray("\xef\xbb\xbfhi"), u"\ufeffhi"},
        ChunkCase{"nul byte kept", QByteArray("a\0b", 3), std::u16string_view(u"a\0b", 3)}));

TEST(ToolOutput, EmptyTextChangesNeitherLogNorOutput) {
  Harness h;
  h.launch();
  h.app().setTaskOutput(QStringLiteral("before"));
  const QString log = h.log();
  h.app().handleTaskOutput(QString());
  EXPECT_EQ(h.log(), log);
  EXPECT_EQ(h.app().taskOutput(), QStringLiteral("before"));
}

TEST(ToolOutput, CarriageReturnsBecomeLinesInTheLogButNotInTheRawOutput) {
  Harness h;
  h.launch();
  h.app().setTaskOutput(QString());
  h.app().handleTaskOutput(QStringLiteral("\rErase  50% (1/2)\rErase 100% (2/2)\r\nDone"));
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n\nErase  50% (1/2)\nErase 100% (2/2)\n\nDone"));
  EXPECT_EQ(h.app().taskOutput(), QStringLiteral("\rErase  50% (1/2)\rErase 100% (2/2)\r\nDone"));
  EXPECT_EQ(h.app().operationPercent(), 100);
  EXPECT_EQ(h.app().progressValue(), 50.0);
}

}  // namespace
