#include "search/Widgets.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>

namespace widgets {

QFont pixelFont(const QFont& base, int px, bool bold, bool italic, bool underline)
{
    QFont f = base;
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

QFont pixelFont(int px, bool bold, bool italic, bool underline)
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    f.setStyleHint(QFont::SansSerif);
    return pixelFont(f, px, bold, italic, underline);
}

void setTextColor(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

void paintBackground(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Base, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QPushButton* flatButton(QWidget* parent, const QString& name, const QString& text,
                        const QRect& geometry)
{
    auto* b = named(new QPushButton(text, parent), name, text);
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(geometry);
    return b;
}

Qt::WindowFlags dialogFlags(bool staysOnTop)
{
    Qt::WindowFlags f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                        Qt::MSWindowsFixedSizeDialogHint;
    if (staysOnTop)
        f |= Qt::WindowStaysOnTopHint;
    return f;
}

int execThenDelete(QDialog* dialog)
{
    QPointer<QDialog> guard = dialog;
    const int result = dialog->exec();
    delete guard.data();
    return result;
}

} // namespace widgets
