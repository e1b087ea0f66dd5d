// The main window's layout: built once, fixed size, fixed frames. Only contents change later.
// Every view carries the object name it is known by, so tests and tools can find it.

#include <QApplication>
#include <QFontDatabase>
#include <QKeySequence>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <cmath>

#include "desktop/Translations.h"
#include "widgets/Accessibility.h"
#include "widgets/CardView.h"
#include "widgets/LinkButton.h"
#include "widgets/LogView.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/StatusDot.h"
#include "widgets/WaitGirlView.h"
#include "window/Frame.h"
#include "window/MainWindow.h"

namespace {

constexpr int kWindowWidth = 760;
constexpr int kWindowHeight = 620;

// Sizes of the layout are logical pixels, so font sizes are pixel sizes.
QFont SystemFont(int pixelSize, QFont::Weight weight) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

template <typename View>
View* Place(View* view, const QWidget* parent, int x, int y, int width, int height) {
  view->setGeometry(FrameInParent(parent->height(), x, y, width, height));
  return view;
}

template <typename View>
View* Named(View* view, const char* name) {
  view->setObjectName(QLatin1String(name));
  return view;
}

PlainLabel* MakeLabel(QWidget* parent, const char* name, const QFont& font, PlainLabel::Tone tone) {
  auto* label = Named(new PlainLabel(parent), name);
  label->setFont(font);
  label->setTone(tone);
  return label;
}

// A push button whose keyboard focus shows also when it is the default button: the style
// outlines a default button as it outlines a focused one, so focus gets a ring of its own there.
class PushButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPushButton::paintEvent(event);
    if (!hasFocus() || !isDefault() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
      return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
    painter.drawRoundedRect(QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5), 3, 3);
  }
};

QPushButton* MakeButton(QWidget* parent, const char* name) {
  auto* button = Named(new PushButton(parent), name);
  button->setAutoDefault(false);
  return button;
}

CardView* MakeCard(QWidget* parent, const char* name, int x, int y, int width, int height) {
  return Place(Named(new CardView(parent), name), parent, x, y, width, height);
}

LogView* MakeLogView(QWidget* parent) {
  auto* log = Named(new LogView(parent), "logView");
  log->setReadOnly(true);
  log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  log->setUndoRedoEnabled(false);
  log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return log;
}

}  // namespace

void MainWindow::buildLayout() {
  setObjectName(QStringLiteral("window"));
  setWindowTitle(QStringLiteral("Veltrin"));
  setFixedSize(kWindowWidth, kWindowHeight);
  // Opens in the middle of its screen, not in a corner.
  setGeometry(
      QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));
  InstallAccessibleInterfaces();
  // Files dropped anywhere on the window are offered to the session.
  setAcceptDrops(true);

  auto* title =
      Place(MakeLabel(this, "titleLabel", SystemFont(26, QFont::Bold), PlainLabel::Tone::Primary),
            this, 26, 552, 420, 32);
  title->setText(QStringLiteral("Veltrin"));
  subtitleLabel_ = Place(
      MakeLabel(this, "subtitleLabel", SystemFont(13, QFont::Normal), PlainLabel::Tone::Secondary),
      this, 27, 530, 520, 18);
  // An installation that did not complete is said where the subtitle is, on up to two lines.
  unfinishedLabel_ = Place(MakeLabel(this, "unfinishedLabel", SystemFont(12, QFont::DemiBold),
                                     PlainLabel::Tone::Warning),
                           this, 27, 518, 600, 32);
  unfinishedLabel_->setMaxLines(2);
  unfinishedLabel_->hide();
  // A sampler that has not answered for a while during the installation is said in the same place.
  stallLabel_ = Place(
      MakeLabel(this, "stallLabel", SystemFont(12, QFont::DemiBold), PlainLabel::Tone::Warning),
      this, 27, 518, 600, 32);
  stallLabel_->setMaxLines(2);
  stallLabel_->hide();
  languageControl_ =
      Place(Named(new SegmentedControl({QStringLiteral("EN"), QStringLiteral("RU")}, this),
                  "languageControl"),
            this, 636, 554, 100, 24);
  languageControl_->setSelectedSegment(CurrentLanguage == 1 ? 1 : 0);
  // A screen reader says the language's name, each in its own language, not two letters.
  languageControl_->segment(0)->setAccessibleName(QStringLiteral("English"));
  languageControl_->segment(1)->setAccessibleName(QStringLiteral("Русский"));
  languageControl_->segment(0)->setObjectName(QStringLiteral("englishSegment"));
  languageControl_->segment(1)->setObjectName(QStringLiteral("russianSegment"));
  girlView_ = Place(Named(new WaitGirlView(this), "girlView"), this, 24, 332, 260, 184);

  CardView* device = MakeCard(this, "deviceCard", 300, 416, 436, 100);
  deviceCaptionLabel_ = Named(MakeCaption(FrameInParent(device->height(), 16, 76, 280, 14), device),
                              "deviceCaptionLabel");
  deviceStatusDot_ = Place(Named(new StatusDot(device), "deviceStatusDot"), device, 17, 55, 10, 10);
  deviceStatusLabel_ = Place(MakeLabel(device, "deviceStatusLabel", SystemFont(14, QFont::DemiBold),
                                       PlainLabel::Tone::Primary),
                             device, 34, 50, 270, 20);
  deviceDetailLabel_ = Place(MakeLabel(device, "deviceDetailLabel", SystemFont(12, QFont::Normal),
                                       PlainLabel::Tone::Secondary),
                             device, 16, 12, 290, 32);
  deviceDetailLabel_->setMaxLines(2);
  checkButton_ = Place(MakeButton(device, "checkButton"), device, 320, 34, 104, 32);
  device->setCaption(deviceCaptionLabel_);

  CardView* firmware = MakeCard(this, "firmwareCard", 300, 332, 436, 72);
  firmwareCaptionLabel_ =
      Named(MakeCaption(FrameInParent(firmware->height(), 16, 48, 190, 14), firmware),
            "firmwareCaptionLabel");
  firmwareLabel_ = Place(MakeLabel(firmware, "firmwareLabel", SystemFont(13, QFont::Medium),
                                   PlainLabel::Tone::Primary),
                         firmware, 16, 18, 190, 20);
  firmwareLabel_->setElideMode(PlainLabel::Elide::Middle);
  builtinButton_ = Place(MakeButton(firmware, "builtinButton"), firmware, 212, 20, 104, 32);
  chooseButton_ = Place(MakeButton(firmware, "chooseButton"), firmware, 320, 20, 104, 32);
  firmware->setCaption(firmwareCaptionLabel_);

  CardView* operation = MakeCard(this, "operationCard", 24, 232, 712, 84);
  operationLabel_ = Place(MakeLabel(operation, "operationLabel", SystemFont(13, QFont::Medium),
                                    PlainLabel::Tone::Primary),
                          operation, 16, 52, 440, 18);
  // Every character of the fixed-pitch font has the same width, so the percentage does not
  // shift sideways while its digits change.
  QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  digits.setPixelSize(13);
  digits.setWeight(QFont::Normal);
  percentLabel_ = Place(MakeLabel(operation, "percentLabel", digits, PlainLabel::Tone::Secondary),
                        operation, 456, 52, 80, 18);
  percentLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The time left of the erase or the write ends where the percentage begins, in the room the
  // short names of those two operations leave free.
  timeLeftLabel_ = Place(MakeLabel(operation, "timeLeftLabel", SystemFont(12, QFont::Normal),
                                   PlainLabel::Tone::Secondary),
                         operation, 156, 52, 296, 18);
  timeLeftLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  progress_ = Place(Named(new QProgressBar(operation), "progress"), operation, 16, 22, 520, 20);
  progress_->setRange(0, 100 * 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  installButton_ = Place(MakeButton(operation, "installButton"), operation, 552, 22, 148, 40);
  installButton_->setDefault(true);
  // The card and its bar are named by the operation they show.
  operation->setCaption(operationLabel_);
  operationLabel_->setBuddy(progress_);

  logCaptionLabel_ =
      Named(MakeCaption(FrameInParent(height(), 28, 206, 300, 14), this), "logCaptionLabel");
  logView_ = Place(MakeLogView(this), this, 24, 44, 712, 156);
  logCaptionLabel_->setBuddy(logView_);

  buildFooter();

  // Return starts the installation like a click on the default button, and only when that
  // button is enabled (a disabled button ignores click()).
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    connect(shortcut, &QShortcut::activated, installButton_, &QPushButton::click);
  }
}

QString MainWindow::footerText(const QString& version) {
  const QString byline = QStringLiteral("by Tarnwick  \u00b7");
  if (version.isEmpty()) {
    return byline;
  }
  return QStringLiteral("v") + version + QStringLiteral("  \u00b7  ") + byline;
}

void MainWindow::buildFooter() {
  const QFont font = SystemFont(11, QFont::Normal);
  versionLabel_ = MakeLabel(this, "versionLabel", font, PlainLabel::Tone::Secondary);
  versionLabel_->setText(footerText(QStringLiteral(VELTRIN_VERSION)));
  auto* link = Named(new LinkButton(QString::fromLatin1(kAuthorHost), this), "websiteButton");
  link->setFont(font);
  websiteButton_ = link;
  connect(link, &LinkButton::clicked, this, &MainWindow::websiteRequested);

  // The two read as one line centred in the window, 4 apart, both 14 high whatever their
  // fitted height.
  const int versionWidth = versionLabel_->sizeHint().width();
  const int linkWidth = link->sizeHint().width();
  const int x = int(std::floor((kWindowWidth - (versionWidth + 4 + linkWidth)) * 0.5));
  Place(versionLabel_, this, x, 15, versionWidth, 14);
  Place(link, this, x + versionWidth + 4, 15, linkWidth, 14);
}
