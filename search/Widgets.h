#pragma once
// The look every window shares: the classic dialog face in pixel sizes, the desktop's named
// colours, flat buttons, and modal dialogs that are deleted once they close.
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <type_traits>

class QDialog;
class QPushButton;
class QRect;

namespace widgets {

inline const QColor kNavy{0x00, 0x00, 0x80};
inline const QColor kMaroon{0x80, 0x00, 0x00};
inline const QColor kGreen{0x00, 0x80, 0x00};
inline const QColor kPurple{0x80, 0x00, 0x80};
inline const QColor kRed{0xFF, 0x00, 0x00};
inline const QColor kGrey{0x80, 0x80, 0x80};
inline const QColor kAqua{0x00, 0xFF, 0xFF};
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};

// base at px pixels, with exactly the given styles.
QFont pixelFont(const QFont& base, int px, bool bold = false, bool italic = false,
                bool underline = false);
// The classic dialog face where it exists, else a metric-compatible sans serif, at px pixels.
QFont pixelFont(int px, bool bold = false, bool italic = false, bool underline = false);

// Plain, edit and button text drawn in c.
void setTextColor(QWidget* w, const QColor& c);
// The widget filled with c, and the edit areas inside it too.
void paintBackground(QWidget* w, const QColor& c);

// Sets the object name (what tests and tools look a widget up by) and, when given, the name a
// screen reader says.
template <class W>
W* named(W* w, const QString& name, const QString& accessible = {})
{
    w->setObjectName(name);
    if constexpr (std::is_base_of_v<QWidget, W>) {
        if (!accessible.isEmpty())
            w->setAccessibleName(accessible);
    }
    return w;
}

// A flat button that the mouse presses and the keyboard never focuses; its text is also its
// spoken name.
QPushButton* flatButton(QWidget* parent, const QString& name, const QString& text,
                        const QRect& geometry);

// A fixed-size dialog's window flags: a title and a close box, no minimise or maximise boxes
// (a window manager would otherwise offer them on a window that cannot change size).
Qt::WindowFlags dialogFlags(bool staysOnTop = false);

// Shows the dialog modally and deletes it once it closes (unless something else deleted it
// meanwhile); returns what exec() returned.
int execThenDelete(QDialog* dialog);

} // namespace widgets
