#pragma once
// Where a window was: its geometry, whether it was maximized, its screen and
// that screen's available area, kept in the settings file under the
// window's own group. A saved position is used again only on the same
// screen with exactly the same available area, fitted into that area.

#include <QRect>
#include <QString>

#include <functional>

class QWidget;

// The group of one window and the key names used under it.
struct WindowGeometrySettings {
  explicit WindowGeometrySettings(const QString& groupName);

  // "true"/"false" as translated text; only the exact translated "true" counts.
  bool loadMaximized() const;
  void saveMaximized(bool maximized) const;
  void saveGeometry(const QRect& rect) const;
  void saveScreenNumber(int screen) const;
  void saveScreenGeometry(const QRect& rect) const;

  QString group;
  QString geometryX, geometryY, geometryW, geometryH;
  QString screenNumber;
  QString screenX, screenY, screenW, screenH;
  QString splitterUpper, splitterLower;
  QString maximized;
};

extern const QString kMainWindowGeometryGroup;         // "MainWindow"
extern const QString kTimeStretchWindowGeometryGroup;  // "TimeStretchWindow"

class WindowGeometryAdjuster {
 public:
  // Fits `saved` into `area` and applies it to the window. A rectangle of
  // width or height 0 (never saved) is refused: false, window unchanged.
  static bool adjustWindowToGeometry(QWidget& window, const QRect& saved, const QRect& area);
};

// The rectangle `adjustWindowToGeometry` would apply; invalid when refused.
QRect fitRectToArea(const QRect& saved, const QRect& area);

using GeometryAdjuster = std::function<bool(QWidget&, const QRect&, const QRect&)>;

// Restores the saved geometry when the saved screen still exists with the
// same available area; returns the adjuster's answer, false otherwise. The
// maximized state is the caller's to apply.
bool restoreWindowGeometry(QWidget& window, const WindowGeometrySettings& record, const GeometryAdjuster& adjuster);

int loadScreenNumber(const WindowGeometrySettings& record);
QRect loadScreenGeometry(const WindowGeometrySettings& record);
QRect loadGeometry(const WindowGeometrySettings& record);

// Stores geometry, screen number and screen area, ignoring the maximized state.
void saveWindowGeometry(QWidget& window, const WindowGeometrySettings& record);
// What a window saves when it is destroyed: the maximized state, the normal
// geometry (only when neither maximized nor minimized), screen and area.
void saveWindowPlacement(QWidget& window, const WindowGeometrySettings& record);
// Restore followed by the maximize step.
void restoreWindowPlacement(QWidget& window, const WindowGeometrySettings& record);
