// Quitting during an installation, on screen and under the application's real event loop: the
// question is asked once, whichever way the user quits; the installation goes on without the
// window to its end, and only then does Veltrin end; one that ends while it is asked takes the
// question's place.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "desktop/LogFile.h"
#include "test_support.h"

namespace {

// Answers each message box as it is shown: the quit question with "Quit" (or, to see the run end
// while it is asked, by letting the tool go on), the result alert with its button. Once the window
// has gone, the tool goes on.
struct BoxAnswerer : QObject {
  BoxAnswerer(Gate& g, bool endWhileAsked, QWidget* w) : gate(g), ending(endWhileAsked), window(w) {
    qApp->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (watched == window && event->type() == QEvent::Hide) {
      gate.release();
    } else if (box && event->type() == QEvent::Show) {
      const QList<QAbstractButton*> buttons = box->buttons();
      const auto quit = std::find_if(buttons.begin(), buttons.end(),
                                     [](QAbstractButton* b) { return b->text() == "Quit"; });
      if (quit == buttons.end()) {
        ++alerts;
        questionSeenWithAlert = question && question->isVisible();
        QTimer::singleShot(0, box, &QMessageBox::accept);
      } else {
        ++questions;
        question = box;
        if (ending) {
          gate.release();
        } else {
          QTimer::singleShot(0, *quit, &QAbstractButton::click);
        }
      }
    }
    return false;
  }
  Gate& gate;
  bool ending;
  QWidget* window;
  QPointer<QMessageBox> question;
  int questions = 0;
  int alerts = 0;
  bool questionSeenWithAlert = false;
};

struct QuitWay {
  const char* name;
  void (*quit)(Harness&);
  bool endWhileAsked;  // the installation ends while the question is open
};

void PrintTo(const QuitWay& c, std::ostream* out) {
  *out << c.name;
}

void PressControlQ(Harness& h) {
  QTest::keyClick(h.window(), Qt::Key_Q, Qt::ControlModifier);
}

void ChooseQuitInTheMenu(Harness& h) {
  h.view<QMenuBar>("mainMenu")->actions().at(0)->menu()->actions().last()->trigger();
}

class QuitQuestion : public ::testing::TestWithParam<QuitWay> {};

TEST_P(QuitQuestion, IsAskedOnceUnderTheRealEventLoop) {
  const QuitWay& c = GetParam();
  if (c.quit == PressControlQ && QGuiApplication::platformName() == QLatin1String("offscreen")) {
    GTEST_SKIP() << "key shortcuts need a display: this row runs under Xvfb";
  }
  LanguageScope language(0);
  Harness h(/*onScreen=*/true);
  h.app().installMainMenu();
  h.launch();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.window(); }));
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.installTool(ShellTool(kWaitAtGate + "exit 0"));
  // The user confirms the installation.
  QTimer::singleShot(0, h.window(), [] {
    const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>()) {
      if (button->text() == QLatin1String("Flash")) {
        button->click();
      }
    }
  });
  h.session().installFirmware();
  ASSERT_TRUE(gate.hold(h));

  BoxAnswerer answerer(gate, c.endWhileAsked, h.window());
  // After the result alert, the user quits again.
  QObject::connect(&h.session(), &Session::runFinished, h.window(),
                   [&] { QTimer::singleShot(0, h.window(), [&] { c.quit(h); }); });
  // A guard against a loop that never ends, not a limit on how long quitting may take.
  QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(1); });
  QTimer::singleShot(0, h.window(), [&] { c.quit(h); });

  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(answerer.questions, 1);
  EXPECT_EQ(answerer.alerts, c.endWhileAsked ? 1 : 0);
  EXPECT_FALSE(answerer.questionSeenWithAlert);
  EXPECT_FALSE(h.window()->isVisible());
  // Veltrin ended only once the installation had, and its record on disk holds the end.
  EXPECT_EQ(h.finishedRuns(), 1);
  QFile record(LogFile::defaultPath());
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  EXPECT_TRUE(record.readAll().endsWith("Process exited with code 0.\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, QuitQuestion,
    ::testing::Values(QuitWay{"Ctrl+Q", PressControlQ, false},
                      QuitWay{"the menu's Quit", ChooseQuitInTheMenu, false},
                      QuitWay{"the window's close button", [](Harness& h) { h.window()->close(); },
                              false},
                      QuitWay{"the menu's Quit, and the installation ends while asked",
                              ChooseQuitInTheMenu, true}));

}  // namespace
