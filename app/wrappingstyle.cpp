#include "app/wrappingstyle.h"

#include <QPainter>
#include <QStyleOptionButton>

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
    painter->drawText(button->rect, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, button->text);
    painter->restore();
}
