#include "WindowGeometry.h"

#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include "ASTprotoSettings.h"

const QString kMainWindowGeometryGroup = QStringLiteral("MainWindow");
const QString kTimeStretchWindowGeometryGroup = QStringLiteral("TimeStretchWindow");

namespace {

int readKey(const WindowGeometrySettings& r, const QString& key) { return ASTprotoSettings().readInt(r.group, key); }

QRect readRect(const WindowGeometrySettings& r, const QString& x, const QString& y, const QString& w,
               const QString& h) {
  return QRect(readKey(r, x), readKey(r, y), readKey(r, w), readKey(r, h));
}

void writeRect(const WindowGeometrySettings& r, const QRect& rect, const QString& x, const QString& y,
               const QString& w, const QString& h) {
  writeSettingInt(r.group, x, rect.left());
  writeSettingInt(r.group, y, rect.top());
  writeSettingInt(r.group, w, rect.width());
  writeSettingInt(r.group, h, rect.height());
}

// The screen a window is on, by its number in the screen list (0 when it
// cannot be told).
int screenNumberOf(const QWidget& window) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const int n = screens.indexOf(window.screen());
  return n < 0 ? 0 : n;
}

QRect availableGeometryOf(int screen) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screen < 0 || screen >= screens.size()) return QRect();
  return screens.at(screen)->availableGeometry();
}

}  // namespace

WindowGeometrySettings::WindowGeometrySettings(const QString& groupName)
    : group(groupName),
      geometryX("GeometryX"),
      geometryY("GeometryY"),
      geometryW("GeometryW"),
      geometryH("GeometryH"),
      screenNumber("ScreenNumber"),
      screenX("ScreenGeometryX"),
      screenY("ScreenGeometryY"),
      screenW("ScreenGeometryW"),
      screenH("ScreenGeometryH"),
      splitterUpper("SplitterUpper"),
      splitterLower("SplitterLower"),
      maximized("Maximized") {}

bool WindowGeometrySettings::loadMaximized() const {
  return readSettingString(group, maximized) == QObject::tr("true");
}

void WindowGeometrySettings::saveMaximized(bool on) const {
  writeSettingString(group, maximized, on ? QObject::tr("true") : QObject::tr("false"));
}

void WindowGeometrySettings::saveGeometry(const QRect& rect) const {
  writeRect(*this, rect, geometryX, geometryY, geometryW, geometryH);
}

void WindowGeometrySettings::saveScreenNumber(int screen) const { writeSettingInt(group, screenNumber, screen); }

void WindowGeometrySettings::saveScreenGeometry(const QRect& rect) const {
  writeRect(*this, rect, screenX, screenY, screenW, screenH);
}

int loadScreenNumber(const WindowGeometrySettings& r) { return readKey(r, r.screenNumber); }
QRect loadScreenGeometry(const WindowGeometrySettings& r) { return readRect(r, r.screenX, r.screenY, r.screenW, r.screenH); }
QRect loadGeometry(const WindowGeometrySettings& r) {
  return readRect(r, r.geometryX, r.geometryY, r.geometryW, r.geometryH);
}

QRect fitRectToArea(const QRect& saved, const QRect& area) {
  if (saved.width() == 0 || saved.height() == 0) return QRect();
  QRect r = saved;
  if (saved.right() > area.right()) {
    r.setLeft(saved.left() - (saved.right() - area.right()));
    r.setRight(area.right());
  }
  if (r.left() < area.left()) r.setLeft(area.left());
  if (saved.bottom() > area.bottom()) {
    r.setTop(saved.top() - (saved.bottom() - area.bottom()));
    r.setBottom(area.bottom());
  }
  if (r.top() < area.top()) r.setTop(area.top());
  return r;
}

bool WindowGeometryAdjuster::adjustWindowToGeometry(QWidget& window, const QRect& saved, const QRect& area) {
  if (saved.width() == 0 || saved.height() == 0) return false;
  window.setGeometry(fitRectToArea(saved, area));
  return true;
}

bool restoreWindowGeometry(QWidget& window, const WindowGeometrySettings& record, const GeometryAdjuster& adjuster) {
  const int screens = QGuiApplication::screens().size();
  if (screens == 0) return false;
  const int screen = loadScreenNumber(record);
  if (screen < 0 || screens <= screen) return false;
  if (loadScreenGeometry(record) != availableGeometryOf(screen)) return false;
  const QRect saved = loadGeometry(record);
  return adjuster(window, saved, availableGeometryOf(screen));
}

void saveWindowGeometry(QWidget& window, const WindowGeometrySettings& record) {
  record.saveGeometry(window.geometry());
  const int screen = screenNumberOf(window);
  record.saveScreenNumber(screen);
  record.saveScreenGeometry(availableGeometryOf(screen));
}

void saveWindowPlacement(QWidget& window, const WindowGeometrySettings& record) {
  record.saveMaximized(window.isMaximized());
  if (!window.isMaximized() && !window.isMinimized()) record.saveGeometry(window.geometry());
  const int screen = screenNumberOf(window);
  record.saveScreenNumber(screen);
  record.saveScreenGeometry(availableGeometryOf(screen));
}

void restoreWindowPlacement(QWidget& window, const WindowGeometrySettings& record) {
  restoreWindowGeometry(window, record, &WindowGeometryAdjuster::adjustWindowToGeometry);
  if (record.loadMaximized()) window.showMaximized();
}
