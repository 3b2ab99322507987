#pragma once

#include <QProxyStyle>

// Button captions that do not fit on one line are wrapped at word boundaries and centred, as small command
// buttons of this window need ("Next Question / Answer" stands on three lines).
class WrappingStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};
