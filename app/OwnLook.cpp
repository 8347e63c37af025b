#include "app/OwnLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

void applyOwnLook()
{
    // The style's own metrics (small frames and margins) are what the fixed layout was drawn
    // for; a desktop style with wide paddings scrolls the narrow boxes' texts.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    // Every role of every group is set, so that nothing is left for a desktop colour scheme to
    // fill in, now or when it changes while the program runs.
    const QPalette light = QApplication::style()->standardPalette();
    QPalette own;
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto role = QPalette::ColorRole(r);
            own.setBrush(group, role, light.brush(group, role));
        }
    }
    QApplication::setPalette(own);
}
