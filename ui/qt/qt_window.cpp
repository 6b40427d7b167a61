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
#include <algorithm>
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

// The local file a drag carries, if it carries exactly one.
QString droppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls()[0].isLocalFile()) {
    return {};
  }
  return QDir::toNativeSeparators(data->urls()[0].toLocalFile());
}

// A path box: a file dragged from the file manager onto it fills it with the file's path.
class PathBox final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override {
    droppedFile(event->mimeData()).isEmpty() ? QLineEdit::dragEnterEvent(event)
                                             : event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    droppedFile(event->mimeData()).isEmpty() ? QLineEdit::dragMoveEvent(event)
                                             : event->acceptProposedAction();
  }
  void dropEvent(QDropEvent* event) override {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) {
      QLineEdit::dropEvent(event);
      return;
    }
    setText(file);
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
                             pixelRect(form::control("Label1").twips).size()));
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
  auto* description = static_cast<QLabel*>(widget("Label1"));
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
  }
  connect(static_cast<QPushButton*>(widget("Command1")), &QPushButton::clicked, this,
          [this] { form_.Command1_Click(); });
}

// Labels keep a tab position but take no focus, so only the controls that do are chained.
void QtMergerWindow::setTabOrderFromDescription() {
  std::vector<const form::Control*> order;
  for (const form::Control& control : form::kControls) {
    if (control.tab && (widget(control.name)->focusPolicy() & Qt::TabFocus) != 0) {
      order.push_back(&control);
    }
  }
  std::sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return *a->tab < *b->tab; });
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    QWidget::setTabOrder(widget(order[i]->name), widget(order[i + 1]->name));
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
