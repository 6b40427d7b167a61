#include "ui/qt/qt_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <functional>
#include <vector>

#include "ui/form_description.h"
#include "ui/qt/qt_services.h"

// The logo and icon are compiled into this static library; the linker keeps them only when asked.
static void initResources() {
  Q_INIT_RESOURCE(ombrix_resources);
}

namespace ombrix {
namespace {

QRect pixelRect(const form::Rect& twips) {
  const form::Rect pixels = form::pixels(twips);
  return {pixels.left, pixels.top, pixels.width, pixels.height};
}

// The local files a drag carries.
std::vector<std::string> droppedFiles(const QMimeData* data) {
  std::vector<std::string> files;
  for (const QUrl& url : data != nullptr ? data->urls() : QList<QUrl>()) {
    if (url.isLocalFile()) {
      files.push_back(QDir::toNativeSeparators(url.toLocalFile()).toStdString());
    }
  }
  return files;
}

// A path box takes files dragged from the file manager; the form decides what a drop does.
class PathBox final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void(const std::vector<std::string>&)> filesDropped;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override {
    droppedFiles(event->mimeData()).empty() ? QLineEdit::dragEnterEvent(event)
                                            : event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    droppedFiles(event->mimeData()).empty() ? QLineEdit::dragMoveEvent(event) : event->acceptProposedAction();
  }
  void dropEvent(QDropEvent* event) override {
    const std::vector<std::string> files = droppedFiles(event->mimeData());
    if (files.empty() || !filesDropped) {
      QLineEdit::dropEvent(event);
      return;
    }
    filesDropped(files);
    event->acceptProposedAction();
  }
};

QWidget* createWidget(const form::Control& control, QWidget* parent) {
  const QString text = toQString(control.text);
  switch (control.kind) {
    case form::Kind::Picture: {
      auto* picture = new QLabel(parent);
      picture->setPixmap(QPixmap(QStringLiteral(":/ombrix/logo.png")));
      picture->setScaledContents(true);
      return picture;
    }
    case form::Kind::Label:
      return new QLabel(text, parent);
    case form::Kind::TextBox:
      return new PathBox(text, parent);
    case form::Kind::Button:
      return new QPushButton(text, parent);
    case form::Kind::Frame:
      return new QGroupBox(text, parent);
    case form::Kind::OptionButton:
      return new QRadioButton(text, parent);
  }
  return nullptr;
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

}  // namespace

QtMergerWindow::QtMergerWindow(const WindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      form_(*this, services) {
  initResources();
  setObjectName(toQString(form::kFormName));
  setWindowTitle(toQString(form::kCaption));
  setWindowIcon(QIcon(QStringLiteral(":/ombrix/icon.png")));
  const form::Rect client = form::pixels(form::kClientTwips);
  setFixedSize(client.width, client.height);
  setFont(dialogFontThatFits(font(), toQString(form::kDescription),
                             pixelRect(form::control(form::kDescriptionLabel).twips).size()));
  createControls();
  styleControls();
  connectHandlers();
  setTabOrderFromDescription();
}

QtMergerWindow::~QtMergerWindow() = default;

void QtMergerWindow::createControls() {
  for (const form::Control& control : form::kControls) {
    QWidget* parent = control.parent.empty() ? this : widget(control.parent);
    QWidget* created = createWidget(control, parent);
    created->setObjectName(toQString(control.name));
    created->setGeometry(pixelRect(control.twips));
    controls_.emplace(std::string(control.name), created);
  }
}

void QtMergerWindow::styleControls() {
  auto* description = static_cast<QLabel*>(widget(form::kDescriptionLabel));
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* credit = static_cast<QLabel*>(widget(form::kCreditLabel));
  QFont creditFont(toQString(form::kCreditFont));
  creditFont.setPointSizeF(form::kCreditPointSize);
  creditFont.setWeight(QFont::Normal);
  creditFont.setUnderline(true);
  credit->setFont(creditFont);
  QPalette creditPalette = credit->palette();
  creditPalette.setColor(QPalette::WindowText,
                         QColor(form::kCreditRed, form::kCreditGreen, form::kCreditBlue));
  credit->setPalette(creditPalette);
  credit->setCursor(Qt::ArrowCursor);
  credit->setToolTip(toQString(form::homePageTooltip()));
  credit->installEventFilter(this);

  static_cast<QRadioButton*>(widget(form::kSelectedAtStart))->setChecked(true);
}

void QtMergerWindow::connectHandlers() {
  for (int index = 1; index <= 2; ++index) {
    connect(static_cast<QPushButton*>(widget(form::browseButton(index))), &QPushButton::clicked, this,
            [this, index] { form_.btnBrowse_Click(index); });
    static_cast<PathBox*>(widget(form::textBox(index)))->filesDropped =
        [this, index](const std::vector<std::string>& files) { form_.filesDropped(index, files); };
  }
  connect(static_cast<QPushButton*>(widget(form::kMergeButton)), &QPushButton::clicked, this,
          [this] { form_.Command1_Click(); });
}

// Labels keep a tab position but take no focus, so only the controls that do are chained.
void QtMergerWindow::setTabOrderFromDescription() {
  QWidget* previous = nullptr;
  for (const form::Control* control : form::controlsInTabOrder()) {
    QWidget* next = widget(control->name);
    if (!control->tab || (next->focusPolicy() & Qt::TabFocus) == 0) {
      continue;
    }
    if (previous != nullptr) {
      QWidget::setTabOrder(previous, next);
    }
    previous = next;
  }
}

QWidget* QtMergerWindow::widget(std::string_view control) const {
  const auto found = controls_.find(control);
  return found == controls_.end() ? nullptr : found->second;
}

std::string QtMergerWindow::text(std::string_view control) const {
  QWidget* w = widget(control);
  if (const auto* box = qobject_cast<QLineEdit*>(w)) {
    return box->text().toStdString();
  }
  if (const auto* label = qobject_cast<QLabel*>(w)) {
    return label->text().toStdString();
  }
  return {};
}

void QtMergerWindow::setText(std::string_view control, std::string_view text) {
  QWidget* w = widget(control);
  if (auto* box = qobject_cast<QLineEdit*>(w)) {
    box->setText(toQString(text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(toQString(text));
  }
}

void QtMergerWindow::repaintNow(std::string_view control) {
  widget(control)->repaint();
}

bool QtMergerWindow::isSelected(std::string_view optionButton) const {
  const auto* option = qobject_cast<QRadioButton*>(widget(optionButton));
  return option != nullptr && option->isChecked();
}

void QtMergerWindow::showCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  activateWindow();
  widget(form::kFocusAtStart)->setFocus();
}

void QtMergerWindow::closeEvent(QCloseEvent* event) {
  int cancel = 0;
  form_.Form_Unload(cancel);
  event->accept();
  emit closed();
}

bool QtMergerWindow::eventFilter(QObject* watched, QEvent* event) {
  QWidget* credit = widget(form::kCreditLabel);
  if (watched == credit && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && credit->rect().contains(mouse->position().toPoint())) {
      form_.Label4_Click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ombrix
