#include "MessageDialog.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSpacerItem>

namespace {

constexpr int kHeadLength = 5;   // "#nnnn"
constexpr int kTailLength = 10;  // "[nnnnnnnn]"

const Qt::WindowFlags kBoxFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace

MessageDialog::MessageDialog(QWidget* parent) : QMessageBox(parent) {
  setIcon(QMessageBox::NoIcon);
  applyChildFonts();
}

MessageDialog::MessageDialog(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
                             QWidget* parent)
    : QMessageBox(icon, title, text, buttons, parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  applyChildFonts();
}

MessageDialog::MessageDialog(Icon icon, const QString& title, const QString& text, int minimumWidth,
                             StandardButtons buttons, QWidget* parent)
    : QMessageBox(icon, title, text, buttons, parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  addWidthSpacer(minimumWidth);
  applyChildFonts();
}

QString MessageDialog::displayText(const QString& text) {
  // Built once; matching a QRegularExpression leaves it unchanged, so the
  // patterns may be shared by any thread.
  static const QRegularExpression head(QRegularExpression::anchoredPattern(QStringLiteral("#[0-9]+")));
  static const QRegularExpression tail(QRegularExpression::anchoredPattern(QStringLiteral("\\[[a-fA-F0-9]+\\]")));
  const QString headText = text.size() < kHeadLength ? QString() : text.left(kHeadLength);
  const QString tailText = text.size() < kTailLength ? QString() : text.right(kTailLength);
  if (!head.match(headText).hasMatch()) return text;
  QString shown = tr("Internal Error %1 ").arg(headText);
  if (tail.match(tailText).hasMatch()) shown += tailText;
  return shown;
}

void MessageDialog::setErrorText(const QString& text) { setText(displayText(text)); }

void MessageDialog::applyChildFonts() {
  for (QObject* child : children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget) continue;
    QFont font = widget->font();
    font.setPixelSize(11);
    widget->setFont(font);
  }
}

void MessageDialog::addWidthSpacer(int width) {
  auto* grid = qobject_cast<QGridLayout*>(layout());
  if (!grid) return;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                grid->columnCount());
}

int MessageDialog::finishAndRun() {
  QGuiApplication::restoreOverrideCursor();
  setWindowModality(Qt::ApplicationModal);
  setWindowFlags(kBoxFlags);
  return QDialog::exec();
}

int MessageDialog::showWithWidth(const QString& title, const QString& text, int minimumWidth) {
  setWindowTitle(title);
  setErrorText(text);
  applyChildFonts();
  if (minimumWidth < 0) minimumWidth = QFontMetrics(font()).boundingRect(title).width() + 150;
  addWidthSpacer(minimumWidth);
  return finishAndRun();
}

int MessageDialog::exec(const QString& title, const QString& text) { return showWithWidth(title, text, -1); }

int MessageDialog::exec(const QString& title, const QString& text, int minimumWidth) {
  return showWithWidth(title, text, minimumWidth);
}

int MessageDialog::exec(const QString& title, const QString& text, const QString& informative) {
  setInformativeText(informative);
  return exec(title, text);
}

int MessageDialog::exec(const QString& title, const QString& text, const QString& informative,
                        const QString& detailed) {
  setDetailedText(detailed);
  setInformativeText(informative);
  return exec(title, text);
}

int MessageDialog::exec() { return finishAndRun(); }

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        const QString& informative, const QString& detailed,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon) {
  MessageDialog box(parent);
  box.setIcon(QMessageBox::NoIcon);
  box.setIcon(icon);
  box.setStandardButtons(buttons);
  box.setDefaultButton(defaultButton);
  box.setDetailedText(detailed);
  box.setInformativeText(informative);
  return static_cast<QMessageBox::StandardButton>(box.exec(title, text));
}

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
  return showMessage(parent, title, text, QString(), QString(), buttons, defaultButton, QMessageBox::NoIcon);
}

QMessageBox::StandardButton showMessageBox(QWidget* parent, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
  return showMessage(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton showNotice(QWidget* parent, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton) {
  return showMessage(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton showQuestion(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) {
  return showMessage(parent, title, text, buttons, defaultButton);
}

QString showMessageWithButtons(QWidget* parent, const QString& title, const QString& text,
                               const MessageButtons& buttons, const QString& defaultButton,
                               const QString& informative, const QString& detailed, QMessageBox::Icon icon) {
  MessageDialog box(parent);
  box.setIcon(QMessageBox::NoIcon);
  box.setIcon(icon);
  QPushButton* chosenDefault = nullptr;
  for (const auto& [label, role] : buttons) {
    QPushButton* button = box.addButton(label, role);
    if (label == defaultButton) chosenDefault = button;
  }
  if (chosenDefault) box.setDefaultButton(chosenDefault);
  box.setDetailedText(detailed);
  box.setInformativeText(informative);
  box.exec(title, text);
  QAbstractButton* clicked = box.clickedButton();
  return clicked ? clicked->text() : QString();
}

QString showMessageWithButtons(QWidget* parent, const QString& title, const QString& text,
                               const MessageButtons& buttons, const QString& defaultButton) {
  return showMessageWithButtons(parent, title, text, buttons, defaultButton, QString(), QString(),
                                QMessageBox::NoIcon);
}

int showInformation(QWidget* parent, const QString& title, const QString& text, int minimumWidth,
                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                    QMessageBox::Icon icon) {
  MessageDialog box(parent);
  box.setIcon(QMessageBox::NoIcon);
  box.setIcon(icon);
  box.setStandardButtons(buttons);
  box.setDefaultButton(defaultButton);
  return box.exec(title, text, minimumWidth);
}
