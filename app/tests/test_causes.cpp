// Why the sampler cannot be used or an installation failed, as the tool tells it, said in the
// window's words: the device card's second line after a check, and the result alert.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "fake_tools.h"
#include "widgets/PlainLabel.h"

namespace {

// What a tool does to print `lines` on standard error and fail.
QByteArray Failing(const char* lines) {
  return QByteArray("printf '%s' '") + lines + "' >&2\nexit 1";
}

struct CardCase {
  const char* name;
  int language;
  const char* lines;
  const char* detail;
};

class CardByCause : public ::testing::TestWithParam<CardCase> {};

TEST_P(CardByCause, SaysWhatIsThereAndWhatToDo) {
  const CardCase& c = GetParam();
  Harness h;
  h.launch();
  LanguageScope language(c.language);
  ASSERT_TRUE(h.checkWith(Failing(c.lines)));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), QString::fromUtf8(c.detail));
}

const char* const kNotFound = "AKAI device 09e8:0061 was not found.\n";

INSTANTIATE_TEST_SUITE_P(
    Causes, CardByCause,
    ::testing::Values(
        CardCase{"other device", 0,
                 "AKAI device 09e8:0061 was not found.\nFound AKAI device 09e8:0062 \"MPC1000\" at "
                 "bus 1, port 1.4: it is not an MPC4000 in \"OS Loader\" mode.\n",
                 "MPC1000 (09e8:0062) is connected instead. Switch the MPC4000 to OS Loader mode."},
        CardCase{"other device without a name", 1,
                 "Found AKAI device 09e8:0062 at bus 1, port 2: it is not an MPC4000 in \"OS "
                 "Loader\" mode.\n",
                 "Подключён AKAI 09e8:0062. Переключите MPC4000 в режим OS Loader."},
        CardCase{"no permission", 0,
                 "IOCreatePlugInInterfaceForService(device) failed: IOReturn 0xe00002c1.\nNo "
                 "permission to open the sampler: install the udev rule 70-veltrin.rules (see "
                 "README) or run as root.\n",
                 "No permission to open it: install the udev rule 70-veltrin.rules (see README)."},
        CardCase{"in use by a program", 1,
                 "USBInterfaceOpen failed: IOReturn 0xe00002c5.\nThe sampler'\\''s interface is in "
                 "use by mpc-editor (process 4242).\n",
                 "Его занимает mpc-editor (процесс 4242). Закройте её и нажмите «Проверить»."},
        CardCase{
            "nothing connected", 0, kNotFound,
            "Check USB, OS Loader mode and the udev rule that permits access to the device."}));

struct ResultCase {
  const char* name;
  const char* lines;
  const char* reason;
  const char* operation;
};

class ResultByCause : public ::testing::TestWithParam<ResultCase> {};

TEST_P(ResultByCause, SaysWhatHappenedAndWhatToDoNext) {
  const ResultCase& c = GetParam();
  Harness h;
  PrepareInstall(h);
  h.installTool(ShellTool(Failing(c.lines)));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  const QString erased = QStringLiteral(
      "\n\nThe MPC4000 has no complete OS now. Keep it switched on and connected, fix the cause "
      "shown in the log, and press Flash OS again.");
  const bool began = QByteArray(c.lines).contains("Erasing flash");
  EXPECT_EQ(h.dialogs().alerts[0].text, QString::fromUtf8(c.reason) + (began ? erased : ""));
  EXPECT_EQ(h.label("operationLabel")->text(), QString::fromUtf8(c.operation));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ResultByCause,
    ::testing::Values(
        ResultCase{"disconnected", "Erasing flash...\nUSB read failed: IOReturn 0xe00002c0.\n",
                   "The MPC4000 was disconnected during the installation. Connect it again "
                   "directly, without a USB hub, then press Check and Flash OS.",
                   "Flashing failed"},
        ResultCase{"image changed", "Firmware SHA-256 mismatch: expected 00, got 11.\n",
                   "The OS file changed after it was chosen, so nothing was written. Choose the "
                   "file again, then press Flash OS.",
                   "Nothing written: the file changed"},
        ResultCase{"in use, holder unknown",
                   "USBInterfaceOpen failed: IOReturn 0xe00002c5.\nThe sampler'\\''s interface is "
                   "in use by another program or a driver.\n",
                   "Another program or a driver is using the MPC4000. Quit that program, then "
                   "press Flash OS again.",
                   "Flashing failed"},
        ResultCase{"not found", kNotFound,
                   "The MPC4000 was not found. Connect it, switch it to OS Loader mode, then "
                   "press Check and Flash OS.",
                   "Flashing failed"},
        ResultCase{"unknown", "Write failed at offset 0x00008000.\n",
                   "See the log at the bottom of the window.", "Flashing failed"}));

TEST(Silence, IsSaidAfter15SecondsWithoutARecordAndGoesWithTheNext) {
  Harness h;
  Gate first(h.scratchPath(QStringLiteral("first")));
  Gate second(h.scratchPath(QStringLiteral("second")));
  PrepareInstall(h);
  h.installTool(ShellTool("printf 'Erasing flash...\\n\\rErase   2%% (1/48)'\n" + first.waitLine() +
                          "printf '\\rErase   4%% (2/48)'\n" + second.waitLine()));
  QSignalSpy silence(&h.session(), &Session::silenceChanged);
  h.session().installFirmware();
  ASSERT_TRUE(first.hold(h));
  ASSERT_TRUE(silence.wait(30000));
  EXPECT_EQ(h.label("stallLabel")->text(),
            QStringLiteral("The MPC4000 has not answered for 15 seconds. Do not unplug it: vtflash "
                           "waits up to two minutes for each step."));
  EXPECT_TRUE(h.label("stallLabel")->isVisibleTo(h.window()));
  EXPECT_FALSE(h.label("subtitleLabel")->isVisibleTo(h.window()));
  ASSERT_TRUE(silence.wait(5000));
  EXPECT_TRUE(h.label("stallLabel")->text().contains(QLatin1String(" 16 seconds.")));
  ASSERT_TRUE(first.release() && second.hold(h));
  ASSERT_TRUE(h.waitUntil([&] { return h.log().endsWith(QLatin1String("(2/48)")); }));
  EXPECT_FALSE(h.label("stallLabel")->isVisibleTo(h.window()));
  EXPECT_TRUE(h.label("subtitleLabel")->isVisibleTo(h.window()));
  second.release();
  ASSERT_TRUE(h.waitForRun());
}

}  // namespace
