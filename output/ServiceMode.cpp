#include "output/ServiceMode.h"

#include "util/Cp1251.h"

bool isServiceCode(const QString& trail)
{
    return trail == kServiceCode;
}

int keyPressCode(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return -1; // moves the focus, types nothing
    default: break;
    }
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (ctrl && !alt && key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 1;
    if (alt && !ctrl)
        return -1;
    if (text.isEmpty())
        return -1;
    const char32_t ch = text.at(0).isHighSurrogate() && text.size() > 1
                            ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                            : char32_t(text.at(0).unicode());
    const int code = cp1251Code(ch);
    return code < 0 ? int('?') : code;
}

TrailStep keyTrailStep(QString& trail, int code)
{
    TrailStep step;
    if (code == 27) {
        step.action = TrailAction::Close;
    } else if (code == 13) {
        step.action = TrailAction::SwitchAndClose;
        step.switchTrail = trail;
    }
    if (code >= 0)
        trail += QString::number(code);
    return step;
}

void bannerStep(BannerState& s, const QString& text1, const QString& text2)
{
    s.interval = 1000;
    if (!s.visible) {
        if (s.phase == 1)
            s.caption = text1;
        else if (s.phase == 2)
            s.caption = text2;
        s.phase = (s.phase == 1) ? 2 : 1;
    }
    s.visible = !s.visible;
}
