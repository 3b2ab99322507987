#include "app/wrappingstyle.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QWidget>

void WrappingStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButtonLabel || !button || !button->icon.isNull()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    painter->save();
    painter->setPen(button->palette.color(button->state & State_Enabled ? QPalette::Active : QPalette::Disabled,
                                          QPalette::ButtonText));
    // The whole face of the button but a thin border, not the style's own label area: the window's small buttons
    // have room for their captions only so, and a style with wide margins (Windows' own) would cut them.
    const QRect face = widget ? widget->rect().marginsRemoved(QMargins(2, 1, 2, 1)) : button->rect;
    painter->drawText(face, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, button->text);
    painter->restore();
}
