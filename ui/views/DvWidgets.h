#pragma once
// Thin subclasses of the Qt input widgets that hand the window's command keys
// to their parent (see DvKeyRule). Each changes nothing but key handling.
//
// Key table (C = with Control, clear focus and hand on; E = without Control,
// clear focus and hand on; H = without Control, hand on only):
//   DvLineEdit        C: A* Y Z  E: Esc             H: Tab Space
//   DvSpinBox         C: A* Y Z  E: Esc             H: keypad Enter, Space
//   DvDoubleSpinBox   C: A* Y Z  E: Esc             H: keypad Enter, Space
//   DvComboBox        C: Y Z     E: Esc             H: Space
//   DvCheckBox        C: Y Z     E: Esc             H: Tab Space
//   DvPushButton      C: Y Z     E: Esc             H: Tab Space
//   DvTextEdit        C: Y Z     E: Esc Tab Space   H: -
// * Control+A alone selects the field's own text; with Shift as well it
// leaves the field for the window.
// Tab is taken before Qt's focus chain sees it where the table lists it, so
// it never moves the focus out of those widgets. The text and number fields
// leave the keys of the window's commands (its actions' shortcuts) to the
// window, so a command such as Control+E works while a field has the focus.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>

class DvLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DvLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class DvSpinBox : public QSpinBox {
  Q_OBJECT
 public:
  explicit DvSpinBox(QWidget* parent = nullptr) : QSpinBox(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class DvDoubleSpinBox : public QDoubleSpinBox {
  Q_OBJECT
 public:
  explicit DvDoubleSpinBox(QWidget* parent = nullptr) : QDoubleSpinBox(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class DvComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit DvComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class DvCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  explicit DvCheckBox(QWidget* parent = nullptr) : QCheckBox(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class DvPushButton : public QPushButton {
  Q_OBJECT
 public:
  explicit DvPushButton(QWidget* parent = nullptr) : QPushButton(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class DvTextEdit : public QTextEdit {
  Q_OBJECT
 public:
  explicit DvTextEdit(QWidget* parent = nullptr) : QTextEdit(parent) {}

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};
