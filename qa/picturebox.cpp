#include "qa/picturebox.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {
// A screen reader would take the box for a plain frame; it is a picture.
QAccessibleInterface* pictureBoxAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("PictureBox") && object->isWidgetType()) {
        // Qt's accessibility cache takes ownership of what a factory returns.
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    }
    return nullptr;
}
} // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    static const bool accessibleAsPicture = (QAccessible::installFactory(pictureBoxAccessible), true);
    Q_UNUSED(accessibleAsPicture);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // The surface is made by the first drawing: most runs never draw, and it would be the largest thing in memory.
    if (!m_surface.isNull()) {
        ensureSurface();
    }
}

void PictureBox::ensureSurface() {
    const QSize inside = contentsRect().size();
    if (m_surface.size() != inside) {
        QImage grown(inside, QImage::Format_ARGB32_Premultiplied);
        grown.fill(Qt::transparent);
        if (!m_surface.isNull()) {
            QPainter(&grown).drawImage(0, 0, m_surface);
        }
        m_surface = grown;
    }
}

void PictureBox::drawCircle(double x, double y, double radius) {
    ensureSurface();
    if (m_surface.isNull()) {
        return;
    }
    const double unitX = m_surface.width() / m_scaleWidth;
    const double unitY = m_surface.height() / m_scaleHeight;
    QPainter painter(&m_surface);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawEllipse(QPointF(x * unitX, y * unitY), radius * unitX, radius * unitX);
    ++m_circlesDrawn;
    update();
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inside = contentsRect();
    painter.setClipRect(inside);
    if (!m_picture.isNull()) {
        painter.drawImage(inside.topLeft(), m_picture);
    }
    painter.drawImage(inside.topLeft(), m_surface);
}
