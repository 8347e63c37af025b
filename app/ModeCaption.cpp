#include "app/ModeCaption.h"

#include "app/AccessibleFactory.h"
#include "app/ModeCaptionAccessible.h"
#include "search/QueryBuilder.h"

#include <algorithm>

namespace {
int textWidth(const QFontMetrics& fm, const QString& text)
{
    return fm.boundingRect(QRect(0, 0, 4000, 200), Qt::TextSingleLine, text).width();
}
} // namespace

ModeCaption::ModeCaption(const QString& field, QWidget* parent)
    : ClickLabel(search::kModeExact, parent)
    , field_(field)
{
    // The accessible name is left unset: the interface builds it from the current text,
    // and QLabel announces every change of text as a change of name.
    installAccessibleFactory<ModeCaption, ModeCaptionAccessible>();
}

QString ModeCaption::spokenName() const
{
    return QStringLiteral("Режим поиска: ") + field_ + QStringLiteral(" — ") + text();
}

QSize ModeCaption::sizeHint() const
{
    const QSize own = ClickLabel::sizeHint();
    const QFontMetrics fm = fontMetrics();
    int widest = 0;
    for (const QString& c : {search::kModeExact, search::kModePrefix, search::kModeAnywhere,
                             search::kModeSuffix, search::kModeSimilar})
        widest = std::max(widest, textWidth(fm, c));
    return {own.width() - textWidth(fm, text()) + widest, own.height()};
}

QSize ModeCaption::minimumSizeHint() const
{
    return sizeHint();
}

void ModeCaption::requestChooserLater()
{
    QMetaObject::invokeMethod(this, &ModeCaption::chooserRequested, Qt::QueuedConnection);
}
