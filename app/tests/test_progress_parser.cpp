// What the controller recognises in the flash tool's output: progress, geometry and completion.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <string_view>
#include <vector>

#include "session/OutputParser.h"
#include "session/ToolRunner.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"

namespace {

using Kind = OutputLine::Kind;
using Cause = OutputLine::Cause;

// What a recognised line should mean; the text is compared for geometry lines only, the ids and
// the place for device lines only.
struct Expected {
  Kind kind;
  double bar;
  int percent;
  const char16_t* text;
  quint16 product = 0;
  const char16_t* place = nullptr;
  Cause cause = Cause::None;
};

Expected Erase(double bar, int percent) {
  return {Kind::Erase, bar, percent, nullptr};
}
Expected Write(double bar, int percent) {
  return {Kind::Write, bar, percent, nullptr};
}
Expected Geometry(const char16_t* line) {
  return {Kind::Geometry, 0, -1, line};
}
Expected Done() {
  return {Kind::Completion, 100, -1, nullptr};
}
Expected Phase(Kind kind) {
  return {kind, 0, -1, nullptr};
}
Expected Failure(Cause cause) {
  return {Kind::Failure, 0, -1, nullptr, 0, nullptr, cause};
}

struct ParseCase {
  const char* name;
  const char16_t* text;
  std::vector<Expected> lines;
};
// A device line: its kind, the product id and the place.
ParseCase Sees(const char* name, const char16_t* text, Kind kind, quint16 product,
               const char16_t* place) {
  const Cause cause = kind == Kind::OtherDevice ? Cause::OtherDevice : Cause::None;
  return {name, text, {{kind, 0, -1, nullptr, product, place, cause}}};
}
ParseCase Fails(const char* name, const char16_t* text, Cause cause) {
  return {name, text, {Failure(cause)}};
}

class ProgressParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ProgressParsing, TurnsOutputIntoBarOperationAndGeometry) {
  const ParseCase& c = GetParam();
  const QList<OutputLine> lines = ParseToolOutput(QString::fromUtf16(c.text));
  ASSERT_EQ(size_t(lines.size()), c.lines.size()) << c.name;
  for (size_t i = 0; i < c.lines.size(); ++i) {
    const Expected& e = c.lines[i];
    const OutputLine& line = lines[qsizetype(i)];
    EXPECT_EQ(line.kind, e.kind) << c.name << ", line " << i;
    EXPECT_EQ(line.cause, e.cause) << c.name << ", line " << i;
    if (e.kind == Kind::Geometry) {
      EXPECT_EQ(line.text, QString::fromUtf16(e.text)) << c.name;
      continue;
    }
    if (e.place) {
      EXPECT_EQ(line.vendorId, 0x09e8) << c.name;
      EXPECT_EQ(line.productId, e.product) << c.name;
      EXPECT_EQ(line.isSampler(), e.product == 0x0061) << c.name;
      EXPECT_EQ(line.place, QString::fromUtf16(e.place)) << c.name;
    }
    EXPECT_EQ(line.bar, e.bar) << c.name << ", line " << i;
    EXPECT_EQ(line.percent, e.percent) << c.name << ", line " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProgressParsing,
    ::testing::Values(
        ParseCase{"last erase record", u"Erase 100% (64/64)", {Erase(50, 100)}},
        ParseCase{"first erase record keeps the half step", u"Erase   1% (1/128)", {Erase(0.5, 1)}},
        ParseCase{"write at half", u"Write  50% (2/4)", {Write(75, 50)}},
        ParseCase{"odd write number", u"Write   3% (3/100)", {Write(51.5, 3)}},
        ParseCase{"last write record", u"Write 100% (4/4)", {Write(100, 100)}},
        ParseCase{"leading and trailing blanks", u"   Erase  40% (2/5)  \t", {Erase(20, 40)}},
        ParseCase{"no-break space is trimmed", u"\u00a0Write 10%\u2003", {Write(55, 10)}},
        ParseCase{"lower-case word", u"erase 40%", {}},
        ParseCase{"no percent sign", u"Erase 12", {Erase(6, 12)}},
        ParseCase{"no space before the number", u"Erase12%", {Erase(6, 12)}},
        ParseCase{"erase phase line", u"Erasing flash...", {Phase(Kind::EraseBegins)}},
        ParseCase{"write phase line", u"Writing firmware...", {Phase(Kind::WriteBegins)}},
        Sees("sampler arrives", u"AKAI device 09e8:0061 connected at bus 1, port 1.4.",
             Kind::DeviceConnected, 0x0061, u"bus 1, port 1.4"),
        Sees("sampler leaves a place without a port path",
             u"AKAI device 09e8:0061 disconnected from bus 3, device 12.", Kind::DeviceDisconnected,
             0x0061, u"bus 3, device 12"),
        Sees("another AKAI product leaves",
             u"AKAI device 09e8:0062 disconnected from bus 1, port 2.", Kind::DeviceDisconnected,
             0x0062, u"bus 1, port 2"),
        Sees("other product with its name",
             u"Found AKAI device 09e8:0062 \"MPC1000\" at bus 1, port 1.4: it is not an "
             u"MPC4000 in \"OS Loader\" mode.",
             Kind::OtherDevice, 0x0062, u"bus 1, port 1.4"),
        Sees("other product without a name",
             u"Found AKAI device 09e8:0071 at bus 2, device 7: it is not an MPC4000 in "
             u"\"OS Loader\" mode.",
             Kind::OtherDevice, 0x0071, u"bus 2, device 7"),
        Fails("sampler not found", u"AKAI device 09e8:0061 was not found.", Cause::NotFound),
        Fails("no device", u"USB read failed: IOReturn 0xe00002c0.", Cause::Disconnected),
        Fails("time-out", u"USB write failed: IOReturn 0xe00002d6.", Cause::StoppedAnswering),
        Fails("access", u"IOCreatePlugInInterfaceForService(device) failed: IOReturn 0xe00002c1.",
              Cause::NoPermission),
        Fails("the rule",
              u"No permission to open the sampler: install the udev rule "
              u"70-veltrin.rules (see README) or run as root.",
              Cause::NoPermission),
        Fails("busy", u"USBInterfaceOpen failed: IOReturn 0xe00002c5.", Cause::InUse),
        Fails("held by a program",
              u"The sampler's interface is in use by mpc-editor (process 4242).", Cause::InUse),
        Fails("held by something unseen",
              u"The sampler's interface is in use by another program or a driver.", Cause::InUse),
        ParseCase{"other platform code", u"USB read failed: IOReturn 0xe000404f.", {}},
        Fails("status error", u"Device returned status error 0x05.", Cause::RefusedStep),
        Fails("checksum of the image", u"Firmware SHA-256 mismatch: expected 00, got 11.",
              Cause::ImageChanged),
        ParseCase{"failure written after an open record",
                  u"\rErase  12% (6/48)USB read failed: IOReturn 0xe00002c0.",
                  {Erase(6, 12), Failure(Cause::Disconnected)}},
        ParseCase{
            "device line without its full stop", u"AKAI device 09e8:0061 connected at bus 1", {}},
        ParseCase{"device line with upper-case ids",
                  u"AKAI device 09E8:0061 connected at bus 1, port 1.",
                  {}},
        ParseCase{"erase failure", u"Erase failed at block 3.", {}},
        ParseCase{"write failure", u"Write failed at offset 0x00008000.", {}},
        ParseCase{"number above 100", u"Erase 250%", {Erase(50, 100)}},
        ParseCase{"write above 100", u"Write 101%", {Write(100, 100)}},
        ParseCase{"minus sign wraps to a huge number", u"Erase -1%", {Erase(50, 100)}},
        ParseCase{"minus sign on write", u"Write -7%", {Write(100, 100)}},
        ParseCase{"largest unsigned number", u"Erase 4294967295%", {Erase(50, 100)}},
        ParseCase{"number after text does not count", u"Flashing Erase 5%", {}},
        ParseCase{"geometry line stored whole and trimmed",
                  u"  Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).  ",
                  {Geometry(u"Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).")}},
        ParseCase{"geometry anywhere in the line",
                  u"note: Flash geometry: odd",
                  {Geometry(u"note: Flash geometry: odd")}},
        ParseCase{"completion line",
                  u"OS upload complete. Restart the MPC4000 after the device reports completion.",
                  {Done()}},
        ParseCase{"geometry wins over completion",
                  u"Flash geometry: OS upload complete",
                  {Geometry(u"Flash geometry: OS upload complete")}},
        ParseCase{"several lines, each in order",
                  u"Erase  10%\nErase  20%\nErase  30%\n",
                  {Erase(5, 10), Erase(10, 20), Erase(15, 30)}},
        ParseCase{"carriage return turned line feed pair",
                  u"\nErase  50%\n\nWrite   2%",
                  {Erase(25, 50), Write(51, 2)}},
        ParseCase{
            "carriage returns separate", u"\rErase  7%\rErase  9%", {Erase(3.5, 7), Erase(4.5, 9)}},
        ParseCase{"vertical tab separates", u"Erase 10%\vWrite 20%", {Erase(5, 10), Write(60, 20)}},
        ParseCase{"form feed separates", u"Erase 10%\fErase 30%", {Erase(5, 10), Erase(15, 30)}},
        ParseCase{
            "next line separates", u"Erase 10%\u0085Erase 40%", {Erase(5, 10), Erase(20, 40)}},
        ParseCase{
            "line separator separates", u"Erase 10%\u2028Erase 60%", {Erase(5, 10), Erase(30, 60)}},
        ParseCase{"paragraph separator separates",
                  u"Erase 10%\u2029Write 80%",
                  {Erase(5, 10), Write(90, 80)}},
        ParseCase{
            "a whole installation's lines",
            u"Flash geometry: 2 blocks x 4 bytes (8 bytes).\nErasing flash...\n"
            u"Erase  50% (1/2)\nErase 100% (2/2)\nWriting firmware...\nWrite 100% (1/1)\n"
            u"OS upload complete.",
            {Geometry(u"Flash geometry: 2 blocks x 4 bytes (8 bytes)."), Phase(Kind::EraseBegins),
             Erase(25, 50), Erase(50, 100), Phase(Kind::WriteBegins), Write(100, 100), Done()}},
        ParseCase{"first piece of a split line", u"\rEra", {}},
        ParseCase{"second piece of a split line", u"se  40% (2/5)", {}},
        ParseCase{"empty text", u"", {}}, ParseCase{"only line ends", u"\n\n\r\n", {}}));

TEST(ProgressParsing, ControllerAppliesEveryLineAndShowsTheGeometryAtOnce) {
  Harness h;
  Gate afterGeometry(h.scratchPath(QStringLiteral("geometry")));
  Gate afterProgress(h.scratchPath(QStringLiteral("progress")));
  h.launch();
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.installTool(ShellTool("echo 'Flash geometry: 16 blocks x 4096 bytes (65536 bytes).'\n" +
                          afterGeometry.waitLine() +
                          "printf 'Erase 100%%\\nWrite   3%%\\nerase 90%%\\n'\n" +
                          afterProgress.waitLine() + "echo 'OS upload complete.'"));
  h.session().installFirmware();
  // Each gate is held once the output before it has arrived.
  ASSERT_TRUE(afterGeometry.hold(h) &&
              h.waitUntil([&] { return h.log().endsWith(QLatin1String("(65536 bytes).\n")); }));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(),
            QStringLiteral("Flash geometry: 16 blocks x 4096 bytes (65536 bytes)."));
  ASSERT_TRUE(afterGeometry.release() && afterProgress.hold(h) &&
              h.waitUntil([&] { return h.log().endsWith(QLatin1String("erase 90%\n")); }));
  EXPECT_EQ(h.progress(), 51.5);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.write"));
  EXPECT_EQ(h.label("percentLabel")->text(), QStringLiteral("3%"));
  ASSERT_TRUE(afterProgress.release() && h.waitForRun());
  EXPECT_EQ(h.progress(), 100.0);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.done"));
}

struct ChunkCase {
  const char* name;
  QByteArray bytes;
  std::u16string_view text;
};

class OutputDecoding : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(OutputDecoding, DecodesUtf8ElseLatin1) {
  const ChunkCase& c = GetParam();
  EXPECT_EQ(ToolRunner::decodeOutputChunk(c.bytes), QStringView(c.text).toString()) << c.name;
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

TEST(ToolOutput, ToolThatPrintsNothingLeavesOnlyItsCommandAndExit) {
  Harness h;
  h.launch();
  h.installTool(ShellTool("exit 0"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n$ vtflash --info\nProcess exited with code 0.\n"));
}

TEST(ToolOutput, CarriageReturnsBecomeLinesInTheLog) {
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.launch();
  h.installTool(
      ShellTool("printf '\\rErase  50%% (1/2)\\rErase 100%% (2/2)\\r\\nDone\\n'\n" + kWaitAtGate));
  h.session().checkDevice();
  ASSERT_TRUE(gate.hold(h));
  ASSERT_TRUE(h.waitUntil([&] {
    return h.log() == QStringLiteral(
                          "Veltrin started.\n$ vtflash --info\n\nErase  50% (1/2)\n"
                          "Erase 100% (2/2)\n\nDone\n");
  })) << h.log().toStdString();
  EXPECT_EQ(h.session().operationPercent(), 100);
  EXPECT_EQ(h.progress(), 50.0);
}

}  // namespace
