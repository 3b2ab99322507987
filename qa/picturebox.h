#pragma once

#include <QFrame>
#include <QImage>

// A white box with a user coordinate system, an assigned picture and a drawing surface that keeps what was drawn
// on it across repaints.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setScaleWidth(double width) { m_scaleWidth = width; }
    void setScaleHeight(double height) { m_scaleHeight = height; }
    double scaleWidth() const { return m_scaleWidth; }
    double scaleHeight() const { return m_scaleHeight; }

    // The outline of a circle, centre and radius in user units; the radius follows the horizontal scale, so the
    // circle is round on boxes whose units are not square. What falls outside the box is clipped.
    void drawCircle(double x, double y, double radius);
    int circlesDrawn() const { return m_circlesDrawn; }
    // What has been drawn, in pixels of the box's inside; null until the first drawing.
    const QImage& surface() const { return m_surface; }

    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The surface follows the size of the box's inside, keeping what was drawn.
    void ensureSurface();

    double m_scaleWidth = 1000;
    double m_scaleHeight = 1000;
    QImage m_surface;
    QImage m_picture;
    int m_circlesDrawn = 0;
};
