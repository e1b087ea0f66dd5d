// Launch, the interface language and the menu bar.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QUrl>

#include "desktop/InterfaceLanguage.h"
#include "desktop/Translations.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/StatusDot.h"
#include "widgets/WaitGirlView.h"

namespace {

struct StartLanguageCase {
  const char* name;
  QVariant stored;
  QStringList preferred;
  int language;
};

class StartLanguage : public ::testing::TestWithParam<StartLanguageCase> {};

TEST_P(StartLanguage, StoredSettingElseFirstPreferredLanguage) {
  const StartLanguageCase& c = GetParam();
  EXPECT_EQ(InterfaceLanguageFor(c.stored, c.preferred), c.language) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartLanguage,
    ::testing::Values(
        StartLanguageCase{"stored ru", QVariant(QStringLiteral("ru")), {"en-US"}, 1},
        StartLanguageCase{"stored en", QVariant(QStringLiteral("en")), {"ru-RU"}, 0},
        StartLanguageCase{"stored upper-case RU", QVariant(QStringLiteral("RU")), {"ru-RU"}, 0},
        StartLanguageCase{"stored empty", QVariant(QString()), {"ru-RU"}, 0},
        StartLanguageCase{
            "stored other text beginning with ru", QVariant(QStringLiteral("ru_UA")), {}, 1},
        StartLanguageCase{"stored ru, en, read back from the settings file as a list",
                          QVariant(QStringList{"ru", "en"}),
                          {"en-US"},
                          1},
        StartLanguageCase{
            "stored en, ru, read back as a list", QVariant(QStringList{"en", "ru"}), {"ru-RU"}, 0},
        StartLanguageCase{"none stored, ru-RU first", QVariant(), {"ru-RU", "en-US"}, 1},
        StartLanguageCase{"none stored, en-US first", QVariant(), {"en-US", "ru-RU"}, 0},
        StartLanguageCase{"none stored, de-DE", QVariant(), {"de-DE"}, 0},
        StartLanguageCase{"none stored, uk-UA", QVariant(), {"uk-UA"}, 0},
        StartLanguageCase{"none stored, empty list", QVariant(), {}, 0}));

TEST(Launch, WithAValidBuiltinImageItIsAdoptedAndLoggedBeforeTheWindowShows) {
  Harness h;
  const QString builtin = h.installBuiltinImage(MakeImageBytes(1572864));
  h.launch();
  EXPECT_EQ(h.session().firmwarePath(), builtin);
  ASSERT_TRUE(h.waitForFacts());
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n") + AdoptedImageLog(builtin));
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("mpcv171.bin  \u00b7  1.5 MB"));
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.ready"));
  EXPECT_EQ(h.session().operationPercent(), -1);
  EXPECT_EQ(h.session().deviceState(), DeviceStateUnknown);
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
  EXPECT_TRUE(h.button("chooseButton")->isEnabled());
  EXPECT_TRUE(h.button("builtinButton")->isEnabled());
  EXPECT_FALSE(h.button("installButton")->isEnabled());
  EXPECT_TRUE(h.window()->isVisible());
  EXPECT_EQ(h.progress(), 0.0);
}

TEST(Launch, WithoutABuiltinImageTheBuiltinButtonStaysDisabled) {
  Harness h;
  h.launch();
  EXPECT_TRUE(h.session().firmwarePath().isEmpty());
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n"));
  EXPECT_EQ(h.label("firmwareLabel")->text(),
            QStringLiteral("No bundled firmware. Choose a .bin file."));
  EXPECT_FALSE(h.button("builtinButton")->isEnabled());
  EXPECT_FALSE(h.button("installButton")->isEnabled());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
}

TEST(Launch, AnInvalidBuiltinImageIsRefusedBeforeTheWindowShows) {
  Harness h;
  h.installBuiltinImage(QByteArray(100, 'x'));
  bool visibleDuringAlert = true;
  h.dialogs().onAlert = [&] { visibleDuringAlert = h.window()->isVisible(); };
  h.launch();
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title,
            QStringLiteral("This does not look like MPC4000 firmware"));
  EXPECT_FALSE(visibleDuringAlert);
  EXPECT_TRUE(h.session().firmwarePath().isEmpty());
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("No firmware selected"));
  EXPECT_TRUE(h.button("builtinButton")->isEnabled());
}

TEST(Launch, StartsWithTheSegmentOfTheCurrentLanguage) {
  for (int language : {0, 1}) {
    LanguageScope scope(language);
    Harness h;
    h.launch();
    EXPECT_EQ(h.view<SegmentedControl>("languageControl")->selectedSegment(), language);
    EXPECT_EQ(h.view<SegmentedControl>("languageControl")->segment(0)->text(),
              QStringLiteral("EN"));
    EXPECT_EQ(h.view<SegmentedControl>("languageControl")->segment(1)->text(),
              QStringLiteral("RU"));
  }
}

QStringList MenuTitles(QMenuBar* bar) {
  QStringList titles;
  for (QAction* top : bar->actions()) {
    titles << top->menu()->title();
    for (QAction* item : top->menu()->actions()) {
      titles << item->text();
    }
  }
  return titles;
}

TEST(Menu, HoldsQuitCopyAndSelectAllInTheCurrentLanguage) {
  LanguageScope language(1);
  Harness h;
  h.app().installMainMenu();
  h.launch();
  EXPECT_EQ(MenuTitles(h.view<QMenuBar>("mainMenu")),
            QStringList({"Veltrin", "Сохранить журнал…", "", "Завершить Veltrin", "Правка",
                         "Скопировать", "Выбрать все"}));
  const QList<QAction*> edit = h.view<QMenuBar>("mainMenu")->actions().at(1)->menu()->actions();
  EXPECT_EQ(edit.at(0)->shortcut(), QKeySequence(QKeySequence::Copy));
  EXPECT_EQ(edit.at(1)->shortcut(), QKeySequence(QKeySequence::SelectAll));
  const QList<QAction*> application =
      h.view<QMenuBar>("mainMenu")->actions().at(0)->menu()->actions();
  EXPECT_EQ(application.at(0)->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(application.at(2)->shortcut(), QKeySequence(QKeySequence::Quit));
}

TEST(Menu, SelectAllAndCopyReachTheFocusedLog) {
  Harness h;
  h.app().installMainMenu();
  h.launch();
  h.window()->activateWindow();
  h.view<QPlainTextEdit>("logView")->setFocus();
  ASSERT_TRUE(h.waitUntil(
      [&] { return QApplication::focusWidget() == h.view<QPlainTextEdit>("logView"); }));
  const QList<QAction*> edit = h.view<QMenuBar>("mainMenu")->actions().at(1)->menu()->actions();
  edit.at(1)->trigger();
  EXPECT_EQ(h.view<QPlainTextEdit>("logView")->textCursor().selectedText(),
            QStringLiteral("Veltrin started.\u2029"));
  edit.at(0)->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Veltrin started.\n"));
}

class SettingsScope {
 public:
  SettingsScope() { QSettings().remove(QStringLiteral("InterfaceLanguage")); }
  ~SettingsScope() { QSettings().remove(QStringLiteral("InterfaceLanguage")); }
};

TEST(LanguageSwitch, ChoosingRussianStoresItAndRetextsMenuAndWindow) {
  LanguageScope language(0);
  SettingsScope settings;
  Harness h;
  h.app().installMainMenu();
  h.launch();
  h.view<SegmentedControl>("languageControl")->segment(1)->click();
  EXPECT_EQ(CurrentLanguage, 1);
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("ru"));
  EXPECT_EQ(MenuTitles(h.view<QMenuBar>("mainMenu")).at(3), QStringLiteral("Завершить Veltrin"));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Готово"));
  EXPECT_EQ(h.button("checkButton")->text(), QStringLiteral("Проверить"));
  // Lines already in the log stay in the language they were written in.
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n"));

  h.view<SegmentedControl>("languageControl")->segment(0)->click();
  EXPECT_EQ(CurrentLanguage, 0);
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("en"));
  EXPECT_EQ(MenuTitles(h.view<QMenuBar>("mainMenu")).at(3), QStringLiteral("Quit Veltrin"));
}

TEST(LanguageSwitch, ChoosingTheSelectedSegmentAgainStillStoresAndRebuilds) {
  LanguageScope language(0);
  SettingsScope settings;
  Harness h;
  h.app().installMainMenu();
  h.launch();
  const QMenuBar* before = h.view<QMenuBar>("mainMenu");
  h.view<SegmentedControl>("languageControl")->segment(0)->click();
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("en"));
  EXPECT_NE(h.view<QMenuBar>("mainMenu"), before);
  EXPECT_EQ(h.view<QMenuBar>("mainMenu")->parentWidget(), h.window());
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Ready"));
}

TEST(LanguageSwitch, SwitchingDuringACheckRetextsTheRunningState) {
  LanguageScope language(0);
  SettingsScope settings;
  Harness h;
  h.launch();
  h.installTool(ShellTool("sleep 0.2"));
  h.session().checkDevice();
  ASSERT_TRUE(h.session().busy());
  EXPECT_TRUE(h.view<SegmentedControl>("languageControl")->isEnabled());
  h.view<SegmentedControl>("languageControl")->segment(1)->click();
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("Проверяю MPC4000\u2026"));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(),
            QStringLiteral("Открываю USB-интерфейс и читаю flash geometry."));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Проверка подключения"));
  EXPECT_EQ(h.view<StatusDot>("deviceStatusDot")->tone(), StatusDot::Tone::Orange);
  ASSERT_TRUE(h.waitForRun());
  // Texts looked up after the switch come in the new language.
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Процесс завершился с кодом 0.\n")));
}

TEST(Website, FooterLinkOpensTheAuthorsSite) {
  Harness h;
  h.launch();
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
  h.view<QAbstractButton>("websiteButton")->click();
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(recorder.urls.size(), 1);
  EXPECT_EQ(recorder.urls[0], QUrl(QStringLiteral("https://tarnwick.example/veltrin")));
  EXPECT_EQ(h.view<QAbstractButton>("websiteButton")->text(), recorder.urls[0].host());
}

// As in a terminal over SSH: no display, and no platform chosen for Qt.
TEST(CommandLine, HelpAndVersionAnswerBeforeQtStarts) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(QLatin1String(name));
  }
  using Answer = std::pair<QStringList, QByteArray>;  // the arguments, how the output begins
  for (const auto& [arguments, start] :
       {Answer{{"--help"},
               "Usage: Veltrin [FILE]\n       Veltrin --help | --version\n\n"
               "Installs the operating system of an Akai MPC4000 sampler over USB"},
        Answer{{"os.bin", "-h"}, "Usage: Veltrin [FILE]\n"},
        Answer{{"--version"}, "Veltrin " VELTRIN_VERSION "\n"}}) {
    QProcess veltrin;
    veltrin.setProcessEnvironment(environment);
    veltrin.start(QStringLiteral(VELTRIN_APP_PATH), arguments);
    ASSERT_TRUE(veltrin.waitForFinished(30000));
    EXPECT_TRUE(veltrin.exitStatus() == QProcess::NormalExit && veltrin.exitCode() == 0);
    EXPECT_TRUE(veltrin.readAllStandardOutput().startsWith(start)) << start.toStdString();
  }
}

}  // namespace
