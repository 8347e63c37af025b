#pragma once
// The help window's key trail, the service mode it switches, and the banner's steps, as
// rules that need no window.
#include <QString>
#include <Qt>

// The text that, trailed and followed by Enter, switches the service mode on.
inline const QString kServiceCode = QStringLiteral("61532");

bool isServiceCode(const QString& trail);

// The character code a key press types, as a Windows-1251 code: Enter 13, Escape 27,
// Backspace 8, Ctrl+letter 1..26, a character the code page cannot hold 63 ("?").
// -1 when the key types no character (arrows, Tab, a lone Shift...).
int keyPressCode(int key, Qt::KeyboardModifiers modifiers, const QString& text);

enum class TrailAction {
    None,          // keep the window open
    Close,         // Escape: close the window
    SwitchAndClose // Enter: switch the service mode from the trail, then close
};

struct TrailStep {
    TrailAction action = TrailAction::None;
    QString switchTrail; // the trail as it stood before this key (what the switch reads)
};

// One typed character: decides what happens, then appends the code's decimal digits to
// the trail (Escape and Enter included).
TrailStep keyTrailStep(QString& trail, int code);

// The banner as one timer step sees and leaves it.
struct BannerState {
    int interval = 5000;
    bool visible = false;
    QString caption;
    int phase = 0;
};

// One banner step: the interval becomes 1000 ms; a hidden banner takes text 1 for phase 1
// or text 2 for phase 2 (any other phase leaves the caption) and the phase flips
// (1 -> 2, anything else -> 1); the visibility always toggles.
void bannerStep(BannerState& s, const QString& text1, const QString& text2);
