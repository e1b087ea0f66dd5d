// What the window shows for each state of the controller, in both languages.

#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "desktop/Translations.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/StatusDot.h"
#include "widgets/WaitGirlView.h"

namespace {

// The failed device's hint names the permission the platform asks for.
#ifdef Q_OS_MACOS
constexpr const char* kFailedDetailEnglish =
    "Check USB, OS Loader mode and the macOS permission to access the device.";
constexpr const char* kFailedDetailRussian =
    "Проверьте USB, режим OS Loader и разрешение macOS на доступ к устройству.";
#else
constexpr const char* kFailedDetailEnglish =
    "Check USB, OS Loader mode and the udev rule that permits access to the device.";
constexpr const char* kFailedDetailRussian =
    "Проверьте USB, режим OS Loader и правило udev, разрешающее доступ к устройству.";
#endif

struct DeviceStateCase {
  DeviceState state;
  int language;
  const char* status;
  const char* detail;
  StatusDot::Tone dot;
};

// Runs a tool of `body` as a check (or, with `install`, as an installation after a successful
// check); a tool that waits at the gate is held there once its output has arrived, else its run
// ends.
void RunTool(Harness& h, Gate& gate, QByteArray body, bool install = false) {
  if (install) {
    h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  }
  const bool held = body.contains(kWaitAtGate);
  h.installTool(ShellTool(body.replace(kWaitAtGate, "echo held\n" + kWaitAtGate)));
  if (install) {
    h.session().installFirmware();
  } else {
    h.session().checkDevice();
  }
  ASSERT_TRUE(held ? gate.hold(h) && h.waitUntil([&] { return h.log().endsWith("held\n"); })
                   : h.waitForRun());
}

// What a check's tool does to reach each device state.
QByteArray CheckReaching(DeviceState state) {
  switch (state) {
    case DeviceStateChecking:
      return kWaitAtGate;
    case DeviceStateReady:
      return "echo 'Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).'";
    case DeviceStateFailed:
      return "exit 1";
    default:
      return {};
  }
}

class DeviceStateDisplay : public ::testing::TestWithParam<DeviceStateCase> {};

TEST_P(DeviceStateDisplay, ShowsStatusDetailAndDotColour) {
  const DeviceStateCase& c = GetParam();
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.launch();
  LanguageScope language(c.language);
  if (c.state != DeviceStateUnknown) {
    RunTool(h, gate, CheckReaching(c.state));
  }
  h.window()->refreshTexts();

  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QString::fromUtf8(c.status));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), QString::fromUtf8(c.detail));
  // The whole detail is readable in its two lines.
  EXPECT_FALSE(h.label("deviceDetailLabel")->displayedLines().join(' ').contains(QChar(0x2026)));
  EXPECT_EQ(h.view<StatusDot>("deviceStatusDot")->tone(), c.dot);
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, DeviceStateDisplay,
    ::testing::Values(
        DeviceStateCase{DeviceStateUnknown, 0, "MPC4000 not checked",
                        "Connect the MPC4000 over USB and switch it to OS Loader mode.",
                        StatusDot::Tone::TertiaryLabel},
        DeviceStateCase{DeviceStateChecking, 0, "Checking MPC4000\u2026",
                        "Opening the USB interface and reading the flash geometry.",
                        StatusDot::Tone::Orange},
        DeviceStateCase{DeviceStateReady, 0, "MPC4000 connected",
                        "Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).",
                        StatusDot::Tone::Green},
        DeviceStateCase{DeviceStateFailed, 0, "MPC4000 not opened", kFailedDetailEnglish,
                        StatusDot::Tone::Red},
        DeviceStateCase{DeviceStateUnknown, 1, "MPC4000 не проверен",
                        "Подключите MPC4000 по USB и включите режим OS Loader на устройстве.",
                        StatusDot::Tone::TertiaryLabel},
        DeviceStateCase{DeviceStateChecking, 1, "Проверяю MPC4000\u2026",
                        "Открываю USB-интерфейс и читаю flash geometry.", StatusDot::Tone::Orange},
        DeviceStateCase{DeviceStateReady, 1, "MPC4000 подключен",
                        "Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).",
                        StatusDot::Tone::Green},
        DeviceStateCase{DeviceStateFailed, 1, "MPC4000 не открыт", kFailedDetailRussian,
                        StatusDot::Tone::Red}));

TEST(ControllerDisplay, ReadyWithoutGeometryLeavesTheDetailEmpty) {
  Harness h;
  h.launch();
  ASSERT_TRUE(h.checkWith("exit 0"));
  h.window()->refreshTexts();
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), QString());
}

struct FixedTextsCase {
  int language;
  const char* subtitle;
  const char* captions[3];
  const char* buttons[4];  // check, bundled, choose, install
};

class FixedTexts : public ::testing::TestWithParam<FixedTextsCase> {};

TEST_P(FixedTexts, CaptionsButtonsAndSubtitleFollowTheLanguage) {
  const FixedTextsCase& c = GetParam();
  Harness h;
  h.launch();
  LanguageScope language(c.language);
  h.window()->refreshTexts();
  EXPECT_EQ(h.label("subtitleLabel")->text(), QString::fromUtf8(c.subtitle));
  EXPECT_EQ(h.label("deviceCaptionLabel")->text(), QString::fromUtf8(c.captions[0]));
  EXPECT_EQ(h.label("firmwareCaptionLabel")->text(), QString::fromUtf8(c.captions[1]));
  EXPECT_EQ(h.label("logCaptionLabel")->text(), QString::fromUtf8(c.captions[2]));
  EXPECT_EQ(h.button("checkButton")->text(), QString::fromUtf8(c.buttons[0]));
  EXPECT_EQ(h.button("builtinButton")->text(), QString::fromUtf8(c.buttons[1]));
  EXPECT_EQ(h.button("chooseButton")->text(), QString::fromUtf8(c.buttons[2]));
  EXPECT_EQ(h.button("installButton")->text(), QString::fromUtf8(c.buttons[3]));
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, FixedTexts,
    ::testing::Values(FixedTextsCase{0,
                                     "Install the OS on an Akai MPC4000 over USB",
                                     {"DEVICE", "FIRMWARE", "LOG"},
                                     {"Check", "Bundled", "Choose\u2026", "Flash OS"}},
                      FixedTextsCase{1,
                                     "Загрузка OS в Akai MPC4000 через USB",
                                     {"УСТРОЙСТВО", "ПРОШИВКА", "ЖУРНАЛ"},
                                     {"Проверить", "Встроенная", "Выбрать\u2026", "Прошить OS"}}));

struct OperationCase {
  QByteArray tool;  // empty: just launched
  bool install;
  const char* key;
  int percent;
  int language;
  const char* text;
  const char* percentText;
};

class OperationDisplay : public ::testing::TestWithParam<OperationCase> {};

TEST_P(OperationDisplay, ShowsOperationAndPercentage) {
  const OperationCase& c = GetParam();
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.launch();
  LanguageScope language(c.language);
  if (!c.tool.isEmpty()) {
    RunTool(h, gate, c.tool, c.install);
  }
  EXPECT_EQ(h.session().operationKey(), QString::fromLatin1(c.key));
  EXPECT_EQ(h.session().operationPercent(), c.percent);
  EXPECT_EQ(h.label("operationLabel")->text(), QString::fromUtf8(c.text));
  EXPECT_EQ(h.label("percentLabel")->text(), QString::fromUtf8(c.percentText));
}

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, OperationDisplay,
    ::testing::Values(
        OperationCase{{}, false, "op.ready", -1, 0, "Ready", ""},
        OperationCase{kWaitAtGate, false, "op.checking", -1, 0, "Checking the connection", ""},
        OperationCase{"exit 0", false, "op.deviceReady", -1, 1, "Устройство готово", ""},
        OperationCase{"exit 1", false, "op.checkFailed", -1, 0, "Check failed", ""},
        OperationCase{kWaitAtGate, true, "op.flashing", 0, 0, "Flashing the MPC4000", "0%"},
        OperationCase{"printf 'Erase  37%% (37/100)\\n'\n" + kWaitAtGate, true, "op.erase", 37, 0,
                      "Erasing flash", "37%"},
        OperationCase{"printf 'Erase  37%% (37/100)\\n'\n" + kWaitAtGate, true, "op.erase", 37, 1,
                      "Стирание flash", "37%"},
        OperationCase{"printf 'Write 100%% (1/1)\\n'\n" + kWaitAtGate, true, "op.write", 100, 0,
                      "Writing OS", "100%"},
        OperationCase{"exit 0", true, "op.done", -1, 1, "Прошивка завершена", ""},
        OperationCase{"exit 1", true, "op.error", -1, 0, "Flashing failed", ""}));

TEST(ControllerDisplay, FirmwareLabelShowsNameAndSizeWithFullPathAsTooltip) {
  Harness h;
  h.launch();
  const QString path = h.makeImage(QStringLiteral("mpcv171.bin"), MakeImageBytes(1572864));
  h.session().openFirmwareFile(path);
  // The name at once, its size once the image has been read.
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("mpcv171.bin"));
  ASSERT_TRUE(h.waitForFacts());
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("mpcv171.bin  \u00b7  1.5 MB"));
  EXPECT_TRUE(h.label("firmwareLabel")->toolTip().startsWith(path + QLatin1Char('\n')));
  EXPECT_EQ(h.label("firmwareLabel")->tone(), PlainLabel::Tone::Primary);
}

TEST(ControllerDisplay, FirmwareSizeUsesAFullStopInRussianAndUnderARussianLocale) {
  Harness h;
  h.launch();
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  LanguageScope language(1);
  const QString path = h.makeImage(QStringLiteral("big image.bin"), MakeImageBytes(2411724));
  h.session().openFirmwareFile(path);
  ASSERT_TRUE(h.waitForFacts());
  QLocale::setDefault(previous);
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("big image.bin  \u00b7  2.3 MB"));
}

TEST(ControllerDisplay, VanishedFirmwareStaysChosenWithZeroMegabytes) {
  Harness h;
  h.launch();
  const QString path = h.makeImage(QStringLiteral("gone.bin"), MakeImageBytes(4096));
  // Gone between its choice and the reading of its facts.
  h.session().openFirmwareFile(path);
  QFile::remove(path);
  ASSERT_TRUE(h.waitForFacts());
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("gone.bin  \u00b7  0.0 MB"));
  EXPECT_EQ(h.session().firmwarePath(), path);
}

struct FirmwareHintCase {
  bool bundled;
  int language;
  const char* text;
};

class FirmwareHint : public ::testing::TestWithParam<FirmwareHintCase> {};

TEST_P(FirmwareHint, NoChosenImageShowsAHintInTheSecondaryColour) {
  const FirmwareHintCase& c = GetParam();
  Harness h;
  if (c.bundled) {
    h.installBuiltinImage(QByteArray(10, 'x'));  // found by name, not checked here
  }
  h.launch();
  LanguageScope language(c.language);
  h.window()->refreshTexts();
  EXPECT_EQ(h.label("firmwareLabel")->text(), QString::fromUtf8(c.text));
  EXPECT_EQ(h.label("firmwareLabel")->toolTip(), QString::fromUtf8(c.text));
  EXPECT_EQ(h.label("firmwareLabel")->tone(), PlainLabel::Tone::Secondary);
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, FirmwareHint,
    ::testing::Values(FirmwareHintCase{true, 0, "No firmware selected"},
                      FirmwareHintCase{false, 0, "No bundled firmware. Choose a .bin file."},
                      FirmwareHintCase{true, 1, "Прошивка не выбрана"},
                      FirmwareHintCase{false, 1, "Встроенной прошивки нет. Выберите .bin файл."}));

struct ButtonsCase {
  const char* name;
  DeviceState state;
  bool firmware;
  bool bundled;
  bool check, choose, builtin, install;
};

class ButtonRules : public ::testing::TestWithParam<ButtonsCase> {};

TEST_P(ButtonRules, ButtonsFollowStateImageAndBundle) {
  const ButtonsCase& c = GetParam();
  Harness h;
  if (c.bundled) {
    h.installBuiltinImage(QByteArray(10, 'x'));
  }
  h.launch();
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  if (c.state != DeviceStateUnknown) {
    RunTool(h, gate, CheckReaching(c.state));
  }
  if (c.firmware) {
    ASSERT_TRUE(h.adopt(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64))));
  }
  EXPECT_EQ(h.button("checkButton")->isEnabled(), c.check) << c.name;
  EXPECT_EQ(h.button("chooseButton")->isEnabled(), c.choose) << c.name;
  EXPECT_EQ(h.button("builtinButton")->isEnabled(), c.builtin) << c.name;
  EXPECT_EQ(h.button("installButton")->isEnabled(), c.install) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    IdleStates, ButtonRules,
    ::testing::Values(
        ButtonsCase{"unchecked", DeviceStateUnknown, true, true, true, true, true, false},
        ButtonsCase{"ready with image", DeviceStateReady, true, false, true, true, false, true},
        ButtonsCase{"ready without image", DeviceStateReady, false, true, true, true, true, false},
        ButtonsCase{"failed with image", DeviceStateFailed, true, true, true, true, true, false},
        ButtonsCase{"no bundle", DeviceStateUnknown, false, false, true, true, false, false}));

TEST(ControllerDisplay, LaunchShowsReadyWithoutPercentageAndAnEmptyBar) {
  Harness h;
  h.launch();
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.ready"));
  EXPECT_EQ(h.session().operationPercent(), -1);
  EXPECT_EQ(h.label("percentLabel")->text(), QString());
  EXPECT_EQ(h.session().deviceState(), DeviceStateUnknown);
  EXPECT_EQ(h.progress(), 0.0);
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
}

TEST(ControllerLog, AppendsInTheLogStyleAndKeepsEverything) {
  Harness h;
  h.launch();
  h.session().appendLog(QStringLiteral("first\n"));
  h.session().appendLog(QString());
  h.session().appendLog(QStringLiteral("second"));
  h.session().appendLog(QStringLiteral(" continued\n"));
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\nfirst\nsecond continued\n"));

  const QTextDocument* document = h.view<QPlainTextEdit>("logView")->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QFont font = it.fragment().charFormat().font();
      EXPECT_EQ(font.pixelSize(), 11);
      EXPECT_EQ(font.weight(), QFont::Normal);
      EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }
  }
  EXPECT_TRUE(h.view<QPlainTextEdit>("logView")->isReadOnly());
}

TEST(ControllerLog, EveryAppendScrollsToTheEnd) {
  Harness h;
  h.launch();
  for (int i = 0; i < 200; ++i) {
    h.session().appendLog(QStringLiteral("line %1\n").arg(i));
  }
  const QScrollBar* bar = h.view<QPlainTextEdit>("logView")->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(ControllerLog, AppendingKeepsTheUsersSelection) {
  Harness h;
  h.launch();
  h.view<QPlainTextEdit>("logView")->selectAll();
  const QString selected = h.view<QPlainTextEdit>("logView")->textCursor().selectedText();
  h.session().appendLog(QStringLiteral("more\n"));
  EXPECT_EQ(h.view<QPlainTextEdit>("logView")->textCursor().selectedText(), selected);
}

}  // namespace
