// The window as a desktop user and a screen reader meet it: dialogs on the window, Qt's own texts
// in the interface language, the open panel's rule, names, focus and the language switch's look.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <cmath>
#include <functional>

#include "desktop/InterfaceLanguage.h"
#include "desktop/Translations.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"

namespace {

// A controller with its own on-screen dialogs and its window shown; no built-in image.
struct OnScreen {
  OnScreen() { app.applicationDidFinishLaunching(); }
  ~OnScreen() { ApplyQtTranslations(0); }

  QString image(const QString& name, const QByteArray& bytes) {
    const QString path = files.filePath(name);
    WriteFile(path, bytes);
    return path;
  }

  LanguageScope language{0};
  QTemporaryDir bundle;
  QTemporaryDir files;
  AppDelegate app{nullptr, bundle.path()};
};

// Runs `look` on the next dialog that opens modally, then closes it unless `look` did.
void OnNextDialog(std::function<void(QDialog*)> look) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, look] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
      return;
    }
    timer->stop();
    timer->deleteLater();
    look(dialog);
    if (dialog->isVisible()) {
      dialog->reject();
    }
  });
  timer->start();
}

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return condition();
}

struct DialogCase {
  const char* name;
  std::function<void(OnScreen&)> open;
  QMessageBox::Icon icon;  // NoIcon for the open panel
};

class DialogsOnTheWindow : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogsOnTheWindow, AreModalOnItAndCentredOnItWhileAnotherWindowIsActive) {
  const DialogCase& c = GetParam();
  OnScreen screen;
  QWidget* window = screen.app.window();
  window->move(0, 0);
  QWidget other;
  other.setGeometry(600, 450, 150, 100);
  other.show();
  other.activateWindow();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));

  bool shown = false;
  OnNextDialog([&](QDialog* dialog) {
    shown = true;
    EXPECT_EQ(dialog->parentWidget(), window);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    const QPoint offset = dialog->geometry().center() - window->geometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << "centred on the window, not elsewhere";
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      EXPECT_EQ(box->icon(), c.icon);
    }
  });
  c.open(screen);
  EXPECT_TRUE(shown);
}

INSTANTIATE_TEST_SUITE_P(
    Window, DialogsOnTheWindow,
    ::testing::Values(
        DialogCase{"install confirmation shows the caution sign",
                   [](OnScreen& s) {
                     const QString tool =
                         s.bundle.filePath(QStringLiteral("Contents/MacOS/vtflash"));
                     WriteFile(tool, ShellTool("exit 0"));
                     QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner);
                     s.app.session().openFirmwareFile(
                         s.image(QStringLiteral("os.bin"), MakeImageBytes(64)));
                     s.app.session().checkDevice();
                     ASSERT_TRUE(WaitFor([&] { return s.app.session().canInstall(); }));
                     s.app.session().installFirmware();
                   },
                   QMessageBox::Warning},
        DialogCase{"refused image alert",
                   [](OnScreen& s) {
                     s.app.session().openFirmwareFile(s.image(QStringLiteral("x.bin"), "tiny"));
                   },
                   QMessageBox::Warning},
        DialogCase{"open panel", [](OnScreen& s) { s.app.session().chooseFirmware(); },
                   QMessageBox::NoIcon}));

struct PanelLanguageCase {
  const char* name;
  QList<int> segmentsClicked;
  const char* cancel;
};

class OpenPanelLanguage : public ::testing::TestWithParam<PanelLanguageCase> {};

TEST_P(OpenPanelLanguage, FollowsTheInterfaceLanguage) {
  const PanelLanguageCase& c = GetParam();
  OnScreen screen;
  for (int segment : c.segmentsClicked) {
    screen.app.window()->findChild<SegmentedControl*>()->segment(segment)->click();
  }
  QString cancel;
  OnNextDialog([&](QDialog* dialog) {
    if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
      cancel = buttons->button(QDialogButtonBox::Cancel)->text();
    }
  });
  screen.app.session().chooseFirmware();
  EXPECT_EQ(cancel, QString::fromUtf8(c.cancel));
}

INSTANTIATE_TEST_SUITE_P(Language, OpenPanelLanguage,
                         ::testing::Values(PanelLanguageCase{"switched to Russian", {1}, "Отмена"},
                                           PanelLanguageCase{
                                               "switched back to English", {1, 0}, "Cancel"}));

struct PanelNameCase {
  const char* name;
  const char* file;
  bool adopted;
};

class OpenPanelNames : public ::testing::TestWithParam<PanelNameCase> {};

TEST_P(OpenPanelNames, AdoptOnlyNamesEndingInBin) {
  const PanelNameCase& c = GetParam();
  OnScreen screen;
  // A valid image whatever its name: only the name decides.
  const QString path = screen.image(QString::fromUtf8(c.file), MakeImageBytes(64));
  bool closedByAccept = false;
  OnNextDialog([&](QDialog* dialog) {
    auto* panel = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(panel, nullptr);
    // Typed into the name field and confirmed. (selectFile would leave a focused field empty.)
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    QMetaObject::invokeMethod(panel, "accept");
    closedByAccept = !panel->isVisible();
  });
  screen.app.session().chooseFirmware();
  EXPECT_EQ(closedByAccept, c.adopted);
  EXPECT_EQ(screen.app.session().firmwarePath(), c.adopted ? path : QString());
}

INSTANTIATE_TEST_SUITE_P(Names, OpenPanelNames,
                         ::testing::Values(PanelNameCase{"text file", "y.txt", false},
                                           PanelNameCase{"bin", "os.bin", true},
                                           PanelNameCase{"upper-case BIN", "OS.BIN", true},
                                           PanelNameCase{"bin before another", "os.bin.txt",
                                                         false}));

struct NameCase {
  const char* name;
  const char* view;  // its object name
  QAccessible::Role role;
  const char* english;
  const char* russian;
};

class ScreenReaderNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ScreenReaderNames, NameEveryControlInTheInterfaceLanguage) {
  const NameCase& c = GetParam();
  Harness h;
  h.launch();
  for (int language : {0, 1}) {
    LanguageScope scope(language);
    h.window()->refreshTexts();
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(h.view(c.view));
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), c.role);
    EXPECT_EQ(access->text(QAccessible::Name),
              QString::fromUtf8(language == 0 ? c.english : c.russian));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Window, ScreenReaderNames,
    ::testing::Values(
        NameCase{"language switch", "languageControl", QAccessible::Grouping, "Language", "Язык"},
        NameCase{"Russian segment", "russianSegment", QAccessible::RadioButton, "Русский",
                 "Русский"},
        NameCase{"device card", "deviceCard", QAccessible::Grouping, "DEVICE", "УСТРОЙСТВО"},
        NameCase{"image card", "firmwareCard", QAccessible::Grouping, "FIRMWARE", "ПРОШИВКА"},
        NameCase{"operation card", "operationCard", QAccessible::Grouping, "Ready", "Готово"},
        NameCase{"progress bar", "progress", QAccessible::ProgressBar, "Ready", "Готово"},
        NameCase{"log", "logView", QAccessible::EditableText, "LOG", "ЖУРНАЛ"},
        NameCase{"check button", "checkButton", QAccessible::Button, "Check", "Проверить"},
        NameCase{"footer link", "websiteButton", QAccessible::Button, "tarnwick.example",
                 "tarnwick.example"}));

TEST(ScreenReader, HearsTheProgressAsAPercentageOfTheRunningOperation) {
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.launch();
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.installTool(ShellTool("printf 'Write  75%% (3/4)\\n'\n" + kWaitAtGate));
  h.session().installFirmware();
  ASSERT_TRUE(gate.hold(h));
  ASSERT_TRUE(h.waitUntil([&] { return h.progress() == 87.5; }));
  QAccessibleInterface* access =
      QAccessible::queryAccessibleInterface(h.view<QProgressBar>("progress"));
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("Writing OS"));
  QAccessibleValueInterface* value = access->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), 0.0);
  EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 100.0);
  EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 87.5);
}

// Presses Tab in the window until `target` has the focus, as a keyboard user would.
bool TabTo(QWidget* target) {
  for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i) {
    QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : target->window();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(from, &press);
    QApplication::processEvents();
  }
  return QApplication::focusWidget() == target;
}

class VisibleFocus : public ::testing::TestWithParam<const char*> {};

TEST_P(VisibleFocus, ShowsOnEveryControlReachedWithTab) {
  LanguageScope language(0);
  Harness h;
  h.installBuiltinImage(MakeImageBytes(64));
  h.launch();
  h.readyToInstall(h.session().firmwarePath());
  QWidget* window = h.window();
  window->activateWindow();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == window; }));
  QWidget* view = h.view(GetParam());
  window->setFocus();
  const QImage without = view->grab().toImage();
  ASSERT_TRUE(TabTo(view)) << "not reachable with Tab";
  EXPECT_NE(view->grab().toImage(), without) << "focus not visible";
}

// Tab reaches the selected language (English here); the arrow keys move between the two.
INSTANTIATE_TEST_SUITE_P(Window, VisibleFocus,
                         ::testing::Values("englishSegment", "checkButton", "builtinButton",
                                           "chooseButton", "installButton", "logView",
                                           "websiteButton"));

class FocusDuringARun : public ::testing::TestWithParam<const char*> {};

TEST_P(FocusDuringARun, StaysOutOfTheLogAndReturnsToTheButton) {
  Harness h;
  h.launch();
  h.installTool(ShellTool("sleep 0.3"));
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  QWidget* window = h.window();
  window->activateWindow();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == window; }));
  QPushButton* button = h.button(GetParam());
  ASSERT_TRUE(TabTo(button));
  button->click();
  ASSERT_TRUE(h.session().busy());
  EXPECT_NE(QApplication::focusWidget(), h.view<QPlainTextEdit>("logView"));
  EXPECT_EQ(QApplication::focusWidget(), window);
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(QApplication::focusWidget(), button);
}

INSTANTIATE_TEST_SUITE_P(Runs, FocusDuringARun, ::testing::Values("checkButton", "installButton"));

// Relative luminance contrast of two colours (1 to 21).
double Contrast(QColor a, QColor b) {
  const auto luminance = [](QColor c) {
    const auto linear = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const double la = luminance(a) + 0.05;
  const double lb = luminance(b) + 0.05;
  return std::max(la, lb) / std::min(la, lb);
}

QPalette DarkPalette() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::ButtonText, Qt::white);
  dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::Mid, QColor(0x25, 0x25, 0x25));
  return dark;
}

// Palettes are built in the test: none may outlive the application object.
class SelectedSegment : public ::testing::TestWithParam<const char*> {};

TEST_P(SelectedSegment, StandsOutFromTheOtherOne) {
  SegmentedControl control({QStringLiteral("EN"), QStringLiteral("RU")});
  const bool dark = QByteArray(GetParam()) == "dark";
  control.setPalette(dark ? DarkPalette() : QApplication::style()->standardPalette());
  control.resize(100, 24);
  control.setSelectedSegment(1);
  control.show();
  const QImage shot = control.grab().toImage();
  // The faces, sampled beside the labels.
  const QColor unselected = shot.pixelColor(10, 5);
  const QColor selected = shot.pixelColor(60, 5);
  EXPECT_GE(Contrast(selected, unselected), 2.0)
      << GetParam() << ": " << selected.name().toStdString() << " against "
      << unselected.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(LanguageSwitch, SelectedSegment, ::testing::Values("light", "dark"));

}  // namespace
