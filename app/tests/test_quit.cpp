// Quitting during an installation, on screen and under the application's real event loop: the
// question is asked once, whichever way the user quits; the installation goes on without the
// window to its end, and only then does Veltrin end; one that ends while it is asked takes the
// question's place.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "desktop/LogFile.h"
#include "test_support.h"

namespace {

// Answers every message box as it is shown: the quit question with "Quit", unless the run is to
// end while it is asked, and any other box (the result alert) with its default button. Once the
// window has gone, the tool may end.
class BoxAnswerer : public QObject {
 public:
  BoxAnswerer(Gate& gate, bool endWhileAsked, QWidget* window)
      : gate_(gate), endWhileAsked_(endWhileAsked), window_(window) {
    qApp->installEventFilter(this);
  }

  int questions = 0;
  int alerts = 0;
  bool questionSeenWithAlert = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Hide) {
      gate_.release();
    }
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (!box || event->type() != QEvent::Show) {
      return false;
    }
    QPushButton* quit = nullptr;
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == QLatin1String("Quit")) {
        quit = static_cast<QPushButton*>(button);
      }
    }
    if (quit) {
      question_ = box;
      ++questions;
      if (endWhileAsked_) {
        gate_.release();
      } else {
        QTimer::singleShot(0, quit, &QPushButton::click);
      }
    } else {
      ++alerts;
      questionSeenWithAlert = question_ && question_->isVisible();
      QTimer::singleShot(0, box, &QMessageBox::accept);
    }
    return false;
  }

 private:
  Gate& gate_;
  bool endWhileAsked_;
  QWidget* window_;
  QPointer<QMessageBox> question_;
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
  h.installTool(ShellTool(kWaitAtGate + "exit 0"));
  const QString image = h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64));
  h.session().runLoaderWithArguments({"--firmware", image, "--yes"}, Session::RunMode::Install);
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
