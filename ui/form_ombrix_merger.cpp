#include "ui/form_ombrix_merger.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QUrl>

#include "ui/file_dialogs.h"
#include "ui/path_text.h"

// The logo and icon are compiled into this static library; the linker keeps them only when asked.
static void initResources() {
  Q_INIT_RESOURCE(ombrix_resources);
}

namespace ombrix {
namespace {

constexpr char kDescription[] =
    "This tool merges two Ombrix.ini file into a single one, avoiding to lose your changes when you update "
    "your Ombrix.ini with new versions.";
constexpr char kBrowseFilter[] = "Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*";
constexpr char kBrowseTitle[] = "Select a ombrix ini file";
constexpr char kBrowseStartFolder[] = "c:\\";
constexpr char kSaveFilter[] = "Ombrix Ini File (*.ini)|*.ini";
constexpr char kSaveTitle[] = "Save merged ini as";
constexpr char kSettingsGroup[] = "Settings";
constexpr char kSourceKey[] = "Source";
constexpr char kFileKey[] = "File";

// The window was laid out in twips, 15 to a pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height) {
  return {left / 15, top / 15, width / 15, height / 15};
}

template <typename Widget>
Widget* control(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* widget = new Widget(text, parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  return widget;
}

// The layout was drawn for a small dialog font. Takes the largest size, narrowing the letters first, at which
// the description fills no more than its box, so that every text fits on any platform's fonts.
QFont dialogFontThatFits(QFont font, const QString& description, QSize box) {
  const QFont::Stretch stretches[] = {QFont::Unstretched, QFont::SemiCondensed, QFont::Condensed};
  for (int pixels = 11; pixels >= 9; --pixels) {
    for (QFont::Stretch stretch : stretches) {
      font.setPixelSize(pixels);
      font.setStretch(stretch);
      const QRect needed = QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), QSize(box.width(), 1000)),
                                                           Qt::TextWordWrap, description);
      if (needed.height() <= box.height()) {
        return font;
      }
    }
  }
  return font;
}

QString homePageWithoutFinalSlash() {
  QString address = QString::fromLatin1(kHomePage);
  if (address.endsWith(u'/')) {
    address.chop(1);
  }
  return address;
}

}  // namespace

// The window as the merge command's host.
class formOmbrixMerger::MergeHostAdapter final : public MergeHost {
 public:
  explicit MergeHostAdapter(formOmbrixMerger& window) : window_(window) {}

  std::filesystem::path newKeysPath() override { return toPath(window_.txtSource_[0]->text()); }
  std::filesystem::path fileToUpdatePath() override { return toPath(window_.txtSource_[1]->text()); }
  MergePolicy policy() override { return window_.selectedPolicy(); }
  void browseForFile(int index) override { window_.btnBrowse_Click(index); }

  std::filesystem::path askOutputPath(const std::filesystem::path&) override {
    const QString fileToUpdate = window_.txtSource_[1]->text();
    return toPath(SaveDialog(*window_.services_.dialogs, &window_, QString::fromLatin1(kSaveFilter),
                             QString::fromLatin1(kSaveTitle), fileToUpdate, fileToUpdate));
  }

  void showProgress(std::string_view text) override {
    window_.showProgress(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
  void endProgress() override { window_.endProgress(); }

  void showMessage(std::string_view text) override {
    window_.services_.messages->information(
        &window_, window_.windowTitle(), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }

 private:
  formOmbrixMerger& window_;
};

formOmbrixMerger::formOmbrixMerger(const WindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      services_(services) {
  initResources();
  setObjectName(QStringLiteral("formOmbrixMerger"));
  setWindowTitle(QString::fromLatin1(kWindowCaption));
  setWindowIcon(QIcon(QStringLiteral(":/ombrix/icon.png")));
  setFixedSize(5625 / 15, 3870 / 15);
  setFont(dialogFontThatFits(font(), QString::fromLatin1(kDescription), twips(75, 1620, 3360, 615).size()));
  createControls();
  setTabOrder();
}

formOmbrixMerger::~formOmbrixMerger() = default;

void formOmbrixMerger::createControls() {
  Image1_ = control<QLabel>(this, "Image1", QString(), twips(30, 60, 750, 795));
  Image1_->setPixmap(QPixmap(QStringLiteral(":/ombrix/logo.png")));
  Image1_->setScaledContents(true);

  Label2_ = control<QLabel>(this, "Label2", QStringLiteral("Ombrix.ini File with the New Keys:"),
                            twips(900, 225, 4260, 315));
  txtSource_[0] = control<QLineEdit>(this, "txtSource(1)", QString(), twips(885, 450, 4230, 360));
  btnBrowse_[0] =
      control<QPushButton>(this, "btnBrowse(1)", QStringLiteral("..."), twips(5130, 435, 300, 345));
  Label3_ = control<QLabel>(this, "Label3", QStringLiteral("Ombrix.ini File to be Updated:"),
                            twips(900, 900, 4200, 315));
  txtSource_[1] = control<QLineEdit>(this, "txtSource(2)", QString(), twips(885, 1125, 4230, 360));
  btnBrowse_[1] =
      control<QPushButton>(this, "btnBrowse(2)", QStringLiteral("..."), twips(5115, 1125, 300, 345));

  Label1_ = control<QLabel>(this, "Label1", QString::fromLatin1(kDescription), twips(75, 1620, 3360, 615));
  Label1_->setWordWrap(true);
  Label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Command1_ =
      control<QPushButton>(this, "Command1", QStringLiteral("Merge >>"), twips(3525, 1665, 1920, 735));

  Label4_ =
      control<QLabel>(this, "Label4", QStringLiteral("Created By Quillane"), twips(90, 2265, 2220, 270));
  QFont creditFont(QStringLiteral("Arial"));
  creditFont.setPointSizeF(6.75);
  creditFont.setWeight(QFont::Normal);
  creditFont.setUnderline(true);
  Label4_->setFont(creditFont);
  QPalette creditPalette = Label4_->palette();
  creditPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  Label4_->setPalette(creditPalette);
  Label4_->setCursor(Qt::ArrowCursor);
  Label4_->setToolTip(homePageWithoutFinalSlash());
  Label4_->installEventFilter(this);

  Frame1_ = control<QGroupBox>(this, "Frame1", QStringLiteral("Options"), twips(75, 2550, 5430, 1200));
  Option2_ = control<QRadioButton>(Frame1_, "Option2",
                                   QStringLiteral("Do not replace games that are already playable"),
                                   twips(150, 270, 5055, 240));
  Option1_ = control<QRadioButton>(Frame1_, "Option1", QStringLiteral("Replace the INI with the new values"),
                                   twips(150, 555, 5055, 240));
  Option3_ = control<QRadioButton>(Frame1_, "Option3",
                                   QStringLiteral("Do not replace if game already exists in the INI"),
                                   twips(150, 855, 5055, 240));
  Option2_->setChecked(true);

  for (int index = 1; index <= 2; ++index) {
    connect(btnBrowse_[static_cast<std::size_t>(index - 1)], &QPushButton::clicked, this,
            [this, index] { btnBrowse_Click(index); });
  }
  connect(Command1_, &QPushButton::clicked, this, &formOmbrixMerger::Command1_Click);
}

void formOmbrixMerger::setTabOrder() {
  const QWidget* order[] = {txtSource_[0], btnBrowse_[0], txtSource_[1], btnBrowse_[1],
                            Command1_,     Option2_,      Option1_,      Option3_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
  }
}

bool formOmbrixMerger::Form_Load() {
  if (services_.instance != nullptr && !services_.instance->acquire()) {
    return false;
  }
  services_.settings->beginGroup(QString::fromLatin1(kSettingsGroup));
  txtSource_[0]->setText(services_.settings->value(QString::fromLatin1(kSourceKey)).toString());
  txtSource_[1]->setText(services_.settings->value(QString::fromLatin1(kFileKey)).toString());
  services_.settings->endGroup();
  return true;
}

void formOmbrixMerger::Form_Unload(int& Cancel) {
  Cancel = 0;
  services_.settings->beginGroup(QString::fromLatin1(kSettingsGroup));
  services_.settings->setValue(QString::fromLatin1(kSourceKey), txtSource_[0]->text());
  services_.settings->setValue(QString::fromLatin1(kFileKey), txtSource_[1]->text());
  services_.settings->endGroup();
  services_.settings->sync();
}

void formOmbrixMerger::showCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  activateWindow();
  txtSource_[0]->setFocus();
}

void formOmbrixMerger::btnBrowse_Click(int Index) {
  const QString chosen =
      OpenDialog(*services_.dialogs, this, QString::fromLatin1(kBrowseFilter),
                 QString::fromLatin1(kBrowseTitle), QString::fromLatin1(kBrowseStartFolder));
  txtSource_[static_cast<std::size_t>(Index - 1)]->setText(chosen);
}

void formOmbrixMerger::Command1_Click() {
  rememberedCaption_ = Label1_->text();
  sinceLastRepaint_.invalidate();
  MergeHostAdapter host(*this);
  const MergeReport report = runMergeCommand(host);
  if (report.outcome == MergeOutcome::Failed) {
    services_.messages->warning(
        this, windowTitle(),
        tr("The merge stopped early: %1.\nThe lines counted were written; the rest of the "
           "file with the new keys was not merged.")
            .arg(QString::fromStdString(report.failure)));
  }
}

void formOmbrixMerger::Label4_Click() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

bool formOmbrixMerger::FileHasContent(const QString& path) const {
  return fileHasContent(toPath(path));
}

MergePolicy formOmbrixMerger::selectedPolicy() const {
  if (Option1_->isChecked()) {
    return MergePolicy::ReplaceAll;
  }
  if (Option2_->isChecked()) {
    return MergePolicy::KeepPlayable;
  }
  return MergePolicy::KeepExisting;
}

// Painting every line would slow a long merge down, so the label is repainted at most about every 30 ms,
// always with the number of the line being handled.
void formOmbrixMerger::showProgress(const QString& text) {
  constexpr qint64 kRepaintIntervalMs = 30;
  if (sinceLastRepaint_.isValid() && sinceLastRepaint_.elapsed() < kRepaintIntervalMs) {
    return;
  }
  Label1_->setText(text);
  Label1_->repaint();
  sinceLastRepaint_.start();
}

void formOmbrixMerger::endProgress() {
  Label1_->setText(rememberedCaption_);
}

void formOmbrixMerger::closeEvent(QCloseEvent* event) {
  int cancel = 0;
  Form_Unload(cancel);
  event->accept();
  emit closed();
}

bool formOmbrixMerger::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label4_ && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && Label4_->rect().contains(mouse->position().toPoint())) {
      Label4_Click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ombrix
