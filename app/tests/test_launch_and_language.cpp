// Launch, the interface language and the menu bar.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QUrl>

#include "InterfaceLanguage.h"
#include "PlainLabel.h"
#include "SegmentedControl.h"
#include "StatusDot.h"
#include "Translations.h"
#include "WaitGirlView.h"
#include "test_support.h"

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
  EXPECT_EQ(h.app().firmwarePath(), builtin);
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n") + AdoptedImageLog(builtin));
  EXPECT_EQ(h.app().firmwareLabel()->text(), QStringLiteral("mpcv171.bin  \u00b7  1.5 MB"));
  EXPECT_EQ(h.app().operationKey(), QStringLiteral("op.ready"));
  EXPECT_EQ(h.app().operationPercent(), -1);
  EXPECT_EQ(h.app().deviceState(), DeviceStateUnknown);
  EXPECT_TRUE(h.app().checkButton()->isEnabled());
  EXPECT_TRUE(h.app().chooseButton()->isEnabled());
  EXPECT_TRUE(h.app().builtinButton()->isEnabled());
  EXPECT_FALSE(h.app().installButton()->isEnabled());
  EXPECT_TRUE(h.app().window()->isVisible());
  EXPECT_EQ(h.app().progressValue(), 0.0);
}

TEST(Launch, WithoutABuiltinImageTheBuiltinButtonStaysDisabled) {
  Harness h;
  h.launch();
  EXPECT_TRUE(h.app().firmwarePath().isEmpty());
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n"));
  EXPECT_EQ(h.app().firmwareLabel()->text(),
            QStringLiteral("No bundled firmware. Choose a .bin file."));
  EXPECT_FALSE(h.app().builtinButton()->isEnabled());
  EXPECT_FALSE(h.app().installButton()->isEnabled());
  EXPECT_TRUE(h.app().checkButton()->isEnabled());
}

TEST(Launch, AnInvalidBuiltinImageIsRefusedBeforeTheWindowShows) {
  Harness h;
  h.installBuiltinImage(QByteArray(100, 'x'));
  bool visibleDuringAlert = true;
  h.dialogs().onAlert = [&] { visibleDuringAlert = h.app().window()->isVisible(); };
  h.launch();
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title,
            QStringLiteral("This does not look like MPC4000 firmware"));
  EXPECT_FALSE(visibleDuringAlert);
  EXPECT_TRUE(h.app().firmwarePath().isEmpty());
  EXPECT_EQ(h.app().firmwareLabel()->text(), QStringLiteral("No firmware selected"));
  EXPECT_TRUE(h.app().builtinButton()->isEnabled());
}

TEST(Launch, StartsWithTheSegmentOfTheCurrentLanguage) {
  for (int language : {0, 1}) {
    LanguageScope scope(language);
    Harness h;
    h.launch();
    EXPECT_EQ(h.app().languageControl()->selectedSegment(), language);
    EXPECT_EQ(h.app().languageControl()->segment(0)->text(), QStringLiteral("EN"));
    EXPECT_EQ(h.app().languageControl()->segment(1)->text(), QStringLiteral("RU"));
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
  EXPECT_EQ(MenuTitles(h.app().mainMenu()),
            QStringList({"Veltrin", "Сохранить журнал…", "", "Завершить Veltrin", "Правка",
                         "Скопировать", "Выбрать все"}));
  const QList<QAction*> edit = h.app().mainMenu()->actions().at(1)->menu()->actions();
  EXPECT_EQ(edit.at(0)->shortcut(), QKeySequence(QKeySequence::Copy));
  EXPECT_EQ(edit.at(1)->shortcut(), QKeySequence(QKeySequence::SelectAll));
  const QList<QAction*> application = h.app().mainMenu()->actions().at(0)->menu()->actions();
  EXPECT_EQ(application.at(0)->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(application.at(2)->shortcut(), QKeySequence(QKeySequence::Quit));
}

TEST(Menu, SelectAllAndCopyReachTheFocusedLog) {
  Harness h;
  h.app().installMainMenu();
  h.launch();
  h.app().window()->activateWindow();
  h.app().logView()->setFocus();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::focusWidget() == h.app().logView(); }));
  const QList<QAction*> edit = h.app().mainMenu()->actions().at(1)->menu()->actions();
  edit.at(1)->trigger();
  EXPECT_EQ(h.app().logView()->textCursor().selectedText(),
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
  h.app().languageControl()->segment(1)->click();
  EXPECT_EQ(CurrentLanguage, 1);
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("ru"));
  EXPECT_EQ(MenuTitles(h.app().mainMenu()).at(3), QStringLiteral("Завершить Veltrin"));
  EXPECT_EQ(h.app().operationLabel()->text(), QStringLiteral("Готово"));
  EXPECT_EQ(h.app().checkButton()->text(), QStringLiteral("Проверить"));
  // Lines already in the log stay in the language they were written in.
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n"));

  h.app().languageControl()->segment(0)->click();
  EXPECT_EQ(CurrentLanguage, 0);
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("en"));
  EXPECT_EQ(MenuTitles(h.app().mainMenu()).at(3), QStringLiteral("Quit Veltrin"));
}

TEST(LanguageSwitch, ChoosingTheSelectedSegmentAgainStillStoresAndRebuilds) {
  LanguageScope language(0);
  SettingsScope settings;
  Harness h;
  h.app().installMainMenu();
  h.launch();
  const QMenuBar* before = h.app().mainMenu();
  h.app().languageControl()->segment(0)->click();
  EXPECT_EQ(QSettings().value(QStringLiteral("InterfaceLanguage")).toString(),
            QStringLiteral("en"));
  EXPECT_NE(h.app().mainMenu(), before);
  EXPECT_EQ(h.app().mainMenu()->parentWidget(), h.app().window());
  EXPECT_EQ(h.app().operationLabel()->text(), QStringLiteral("Ready"));
}

TEST(LanguageSwitch, SwitchingDuringACheckRetextsTheRunningState) {
  LanguageScope language(0);
  SettingsScope settings;
  Harness h;
  h.launch();
  h.installTool(ShellTool("sleep 0.2"));
  h.app().checkDevice();
  ASSERT_NE(h.app().currentTask(), nullptr);
  EXPECT_TRUE(h.app().languageControl()->isEnabled());
  h.app().languageControl()->segment(1)->click();
  EXPECT_EQ(h.app().deviceStatusLabel()->text(), QStringLiteral("Проверяю MPC4000\u2026"));
  EXPECT_EQ(h.app().deviceDetailLabel()->text(),
            QStringLiteral("Открываю USB-интерфейс и читаю flash geometry."));
  EXPECT_EQ(h.app().operationLabel()->text(), QStringLiteral("Проверка подключения"));
  EXPECT_EQ(h.app().deviceStatusDot()->tone(), StatusDot::Tone::Orange);
  ASSERT_TRUE(h.waitForRun());
  // Texts looked up after the switch come in the new language.
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Процесс завершился с кодом 0.\n")));
}

TEST(Website, FooterLinkOpensTheAuthorsSite) {
  Harness h;
  h.launch();
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
  h.app().websiteButton()->click();
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(recorder.urls.size(), 1);
  EXPECT_EQ(recorder.urls[0], QUrl(QString::fromLatin1(AppDelegate::kAuthorWebsite)));
  EXPECT_EQ(h.app().websiteButton()->text(), recorder.urls[0].host());
}

}  // namespace
