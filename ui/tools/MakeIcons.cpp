// Draws the program's icons as PNG files into the folder given as the only
// argument. Every picture is our own, made of plain shapes.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

using Painter = std::function<void(QPainter&, int w, int h)>;

bool draw(const QString& path, int w, int h, const Painter& paint) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, w, h);
  }
  return image.save(path, "PNG");
}

void appIcon(QPainter& p, int w, int h) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(32, 58, 96));
  p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 7, 7);
  // A short stretch of waveform, taller in the middle.
  p.setBrush(QColor(250, 200, 80));
  const int bars[] = {6, 12, 20, 26, 18, 24, 14, 8};
  const double step = (w - 8) / 8.0;
  for (int i = 0; i < 8; ++i) {
    const double x = 4 + i * step + 0.5;
    p.drawRoundedRect(QRectF(x, (h - bars[i]) / 2.0, step - 1.5, bars[i]), 1, 1);
  }
}

void playIcon(QPainter& p, int w, int h) {
  QPainterPath triangle;
  triangle.moveTo(w * 0.28, h * 0.18);
  triangle.lineTo(w * 0.82, h * 0.5);
  triangle.lineTo(w * 0.28, h * 0.82);
  triangle.closeSubpath();
  p.fillPath(triangle, QColor(40, 150, 60));
}

void stopIcon(QPainter& p, int w, int h) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(190, 40, 40));
  p.drawRoundedRect(QRectF(w * 0.22, h * 0.22, w * 0.56, h * 0.56), 2, 2);
}

void tempoIcon(QPainter& p, int w, int h) {
  // A metronome: a trapezoid body with its pendulum leaning right.
  QPainterPath body;
  body.moveTo(w * 0.38, h * 0.08);
  body.lineTo(w * 0.62, h * 0.08);
  body.lineTo(w * 0.92, h * 0.92);
  body.lineTo(w * 0.08, h * 0.92);
  body.closeSubpath();
  p.fillPath(body, QColor(70, 70, 70));
  p.setPen(QPen(QColor(235, 235, 235), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(w * 0.5, h * 0.84), QPointF(w * 0.74, h * 0.22));
}

void signIcon(QPainter& p, int w, int h, bool plus) {
  p.setPen(QPen(QColor(40, 40, 40), w * 0.18, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(w * 0.2, h * 0.5), QPointF(w * 0.8, h * 0.5));
  if (plus) p.drawLine(QPointF(w * 0.5, h * 0.2), QPointF(w * 0.5, h * 0.8));
}

void zoomIcon(QPainter& p, int w, int h, bool in) {
  const QColor ink(60, 60, 60);
  p.setPen(QPen(ink, 2.0));
  p.setBrush(Qt::NoBrush);
  const QRectF lens(w * 0.1, h * 0.1, w * 0.55, h * 0.55);
  p.drawEllipse(lens);
  p.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(w * 0.6, h * 0.6), QPointF(w * 0.9, h * 0.9));
  p.setPen(QPen(ink, 1.6));
  const QPointF c = lens.center();
  p.drawLine(QPointF(c.x() - w * 0.14, c.y()), QPointF(c.x() + w * 0.14, c.y()));
  if (in) p.drawLine(QPointF(c.x(), c.y() - h * 0.14), QPointF(c.x(), c.y() + h * 0.14));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MakeIcons <folder>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]) + "/";
  using namespace std::placeholders;
  const bool ok = draw(dir + "icon36.png", 36, 36, appIcon) && draw(dir + "btn_play.png", 24, 24, playIcon) &&
                  draw(dir + "btn_stop.png", 24, 24, stopIcon) && draw(dir + "tempo.png", 22, 28, tempoIcon) &&
                  draw(dir + "plus.png", 16, 16, std::bind(signIcon, _1, _2, _3, true)) &&
                  draw(dir + "minus.png", 16, 16, std::bind(signIcon, _1, _2, _3, false)) &&
                  draw(dir + "btn_zoom_in_off.png", 20, 20, std::bind(zoomIcon, _1, _2, _3, true)) &&
                  draw(dir + "btn_zoom_out_off.png", 20, 20, std::bind(zoomIcon, _1, _2, _3, false));
  if (!ok) {
    std::fprintf(stderr, "MakeIcons: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
