#pragma once
// The one message box of the application and the functions that show it.
// All boxes are application-modal, have no icon and 11-pixel fonts, and are
// at least as wide as their title plus 150 pixels. A text that begins with
// "#" and four digits is an internal error: it is shown as "Internal Error
// #nnnn ", followed by its result code only when the text ends with "["
// eight hexadecimal digits "]"; the words between are not shown.

#include <QMessageBox>
#include <QString>

#include <utility>
#include <vector>

class MessageDialog : public QMessageBox {
  Q_OBJECT
 public:
  explicit MessageDialog(QWidget* parent);
  MessageDialog(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent);
  MessageDialog(Icon icon, const QString& title, const QString& text, int minimumWidth, StandardButtons buttons,
                QWidget* parent);

  // Sets the main text by the number rule above.
  void setErrorText(const QString& text);
  // The text the number rule makes of `text`.
  static QString displayText(const QString& text);
  // Gives every direct child widget an 11-pixel font.
  void applyChildFonts();

  // Shows the box modally and returns QDialog::exec's result (the clicked
  // standard button for boxes with standard buttons).
  int exec(const QString& title, const QString& text);
  int exec(const QString& title, const QString& text, int minimumWidth);
  int exec(const QString& title, const QString& text, const QString& informative);
  int exec(const QString& title, const QString& text, const QString& informative, const QString& detailed);
  int exec() override;

 private:
  int showWithWidth(const QString& title, const QString& text, int minimumWidth);
  void addWidthSpacer(int width);
  int finishAndRun();
};

using MessageButtons = std::vector<std::pair<QString, QMessageBox::ButtonRole>>;

// The common box: standard buttons, returns the one clicked.
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        const QString& informative, const QString& detailed,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon);
// Further names of the common box.
QMessageBox::StandardButton showMessageBox(QWidget* parent, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton);
QMessageBox::StandardButton showNotice(QWidget* parent, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton);
QMessageBox::StandardButton showQuestion(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton);
// A box with buttons of the caller's wording; returns the clicked button's
// text, "" when the box was closed without a button.
QString showMessageWithButtons(QWidget* parent, const QString& title, const QString& text,
                               const MessageButtons& buttons, const QString& defaultButton);
QString showMessageWithButtons(QWidget* parent, const QString& title, const QString& text,
                               const MessageButtons& buttons, const QString& defaultButton,
                               const QString& informative, const QString& detailed, QMessageBox::Icon icon);
// A box with a minimum width (the About box).
int showInformation(QWidget* parent, const QString& title, const QString& text, int minimumWidth,
                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                    QMessageBox::Icon icon);
