// The main window: built once at launch, fixed size, fixed layout. Only contents change later.

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QKeySequence>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <cmath>

#include "Accessibility.h"
#include "AppDelegate.h"
#include "CardView.h"
#include "Frame.h"
#include "LinkButton.h"
#include "LogView.h"
#include "PlainLabel.h"
#include "SegmentedControl.h"
#include "StatusDot.h"
#include "Translations.h"
#include "WaitGirlView.h"
#include "image_file.h"

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

PlainLabel* MakeLabel(QWidget* parent, const QFont& font, PlainLabel::Tone tone) {
  auto* label = new PlainLabel(parent);
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

QPushButton* MakeButton(QWidget* parent) {
  auto* button = new PushButton(parent);
  button->setAutoDefault(false);
  return button;
}

CardView* MakeCard(QWidget* parent, int x, int y, int width, int height) {
  return Place(new CardView(parent), parent, x, y, width, height);
}

QPlainTextEdit* MakeLogView(QWidget* parent) {
  auto* log = new LogView(parent);
  log->setReadOnly(true);
  log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  log->setUndoRedoEnabled(false);
  log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return log;
}

}  // namespace

void AppDelegate::applicationDidFinishLaunching() {
  operationKey_ = QStringLiteral("op.ready");
  operationPercent_ = -1;
  buildWindow();

  appendLog(L("log.started") + QLatin1Char('\n'));
  // A valid built-in image is adopted and logged before the window is shown; an invalid one
  // raises its alert before the window comes to the front.
  // An empty path (no built-in image) cannot be opened, so it is no demo either.
  demoBundle_ = vt::image::file_is_demo(QFile::encodeName(bundledFirmwarePath()).constData());
  useBundledFirmware();
  refreshTexts();
  updateButtons();
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void AppDelegate::buildWindow() {
  window_ = std::make_unique<QWidget>();
  QWidget* root = window_.get();
  root->setWindowTitle(QStringLiteral("Veltrin"));
  root->setFixedSize(kWindowWidth, kWindowHeight);
  root->setAttribute(Qt::WA_DeleteOnClose, false);
  // Opens in the middle of its screen, not in a corner.
  root->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, root->size(),
                                        root->screen()->availableGeometry()));
  InstallAccessibleInterfaces();
  // Files dropped anywhere on the window, and the question before it closes, reach the controller.
  root->setAcceptDrops(true);
  root->installEventFilter(this);

  auto* title = Place(MakeLabel(root, SystemFont(26, QFont::Bold), PlainLabel::Tone::Primary), root,
                      26, 552, 420, 32);
  title->setText(QStringLiteral("Veltrin"));
  subtitleLabel_ =
      Place(MakeLabel(root, SystemFont(13, QFont::Normal), PlainLabel::Tone::Secondary), root, 27,
            530, 520, 18);
  languageControl_ = Place(new SegmentedControl({QStringLiteral("EN"), QStringLiteral("RU")}, root),
                           root, 636, 554, 100, 24);
  languageControl_->setSelectedSegment(CurrentLanguage == 1 ? 1 : 0);
  // A screen reader says the language's name, each in its own language, not two letters.
  languageControl_->segment(0)->setAccessibleName(QStringLiteral("English"));
  languageControl_->segment(1)->setAccessibleName(QStringLiteral("Русский"));
  girlView_ = Place(new WaitGirlView(root), root, 24, 332, 260, 184);

  CardView* device = MakeCard(root, 300, 416, 436, 100);
  deviceCaptionLabel_ = MakeCaption(FrameInParent(device->height(), 16, 76, 280, 14), device);
  deviceStatusDot_ = Place(new StatusDot(device), device, 17, 55, 10, 10);
  deviceStatusLabel_ =
      Place(MakeLabel(device, SystemFont(14, QFont::DemiBold), PlainLabel::Tone::Primary), device,
            34, 50, 270, 20);
  deviceDetailLabel_ =
      Place(MakeLabel(device, SystemFont(12, QFont::Normal), PlainLabel::Tone::Secondary), device,
            16, 12, 290, 32);
  deviceDetailLabel_->setMaxLines(2);
  checkButton_ = Place(MakeButton(device), device, 320, 34, 104, 32);
  device->setCaption(deviceCaptionLabel_);

  CardView* firmware = MakeCard(root, 300, 332, 436, 72);
  firmwareCaptionLabel_ = MakeCaption(FrameInParent(firmware->height(), 16, 48, 190, 14), firmware);
  firmwareLabel_ =
      Place(MakeLabel(firmware, SystemFont(13, QFont::Medium), PlainLabel::Tone::Primary), firmware,
            16, 18, 190, 20);
  firmwareLabel_->setElideMode(PlainLabel::Elide::Middle);
  builtinButton_ = Place(MakeButton(firmware), firmware, 212, 20, 104, 32);
  chooseButton_ = Place(MakeButton(firmware), firmware, 320, 20, 104, 32);
  firmware->setCaption(firmwareCaptionLabel_);

  CardView* operation = MakeCard(root, 24, 232, 712, 84);
  operationLabel_ =
      Place(MakeLabel(operation, SystemFont(13, QFont::Medium), PlainLabel::Tone::Primary),
            operation, 16, 52, 440, 18);
  // Every character of the fixed-pitch font has the same width, so the percentage does not
  // shift sideways while its digits change.
  QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  digits.setPixelSize(13);
  digits.setWeight(QFont::Normal);
  percentLabel_ =
      Place(MakeLabel(operation, digits, PlainLabel::Tone::Secondary), operation, 456, 52, 80, 18);
  percentLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  progress_ = Place(new QProgressBar(operation), operation, 16, 22, 520, 20);
  progress_->setRange(0, 100 * kProgressScale);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  installButton_ = Place(MakeButton(operation), operation, 552, 22, 148, 40);
  installButton_->setDefault(true);
  // The card and its bar are named by the operation they show.
  operation->setCaption(operationLabel_);
  operationLabel_->setBuddy(progress_);

  logCaptionLabel_ = MakeCaption(FrameInParent(root->height(), 28, 206, 300, 14), root);
  logView_ = Place(MakeLogView(root), root, 24, 44, 712, 156);
  logCaptionLabel_->setBuddy(logView_);

  buildFooter(root);
  attachMainMenu();

  connect(languageControl_, &SegmentedControl::segmentClicked, this, &AppDelegate::languageChanged);
  connect(checkButton_, &QPushButton::clicked, this, &AppDelegate::checkDevice);
  connect(builtinButton_, &QPushButton::clicked, this, &AppDelegate::useBundledFirmware);
  connect(chooseButton_, &QPushButton::clicked, this, &AppDelegate::chooseFirmware);
  connect(installButton_, &QPushButton::clicked, this, &AppDelegate::installFirmware);

  // Return starts the installation like a click on the default button, and only when that
  // button is enabled (a disabled button ignores click()).
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(key), root);
    connect(shortcut, &QShortcut::activated, installButton_, &QPushButton::click);
  }
}

QString AppDelegate::footerText(const QString& version) {
  const QString byline = QStringLiteral("by Tarnwick  \u00b7");
  if (version.isEmpty()) {
    return byline;
  }
  return QStringLiteral("v") + version + QStringLiteral("  \u00b7  ") + byline;
}

void AppDelegate::buildFooter(QWidget* root) {
  const QFont font = SystemFont(11, QFont::Normal);
  versionLabel_ = MakeLabel(root, font, PlainLabel::Tone::Secondary);
  versionLabel_->setText(footerText(QStringLiteral(VELTRIN_VERSION)));
  auto* link = new LinkButton(QString::fromLatin1(kAuthorHost), root);
  link->setFont(font);
  websiteButton_ = link;
  connect(link, &LinkButton::clicked, this, &AppDelegate::openWebsite);

  // The two read as one line centred in the window, 4 apart, both 14 high whatever their
  // fitted height.
  const int versionWidth = versionLabel_->sizeHint().width();
  const int linkWidth = link->sizeHint().width();
  const int x = int(std::floor((kWindowWidth - (versionWidth + 4 + linkWidth)) * 0.5));
  Place(versionLabel_, root, x, 15, versionWidth, 14);
  Place(link, root, x + versionWidth + 4, 15, linkWidth, 14);
}
