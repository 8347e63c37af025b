#pragma once
// A match-mode label of the main window: shows the field's mode ("точное", "с лева", ...),
// always wide enough for the longest of them, and tells a screen reader both the field and
// the mode it shows.
#include "app/Controls.h"

class ModeCaption : public ClickLabel {
    Q_OBJECT
public:
    ModeCaption(const QString& field, QWidget* parent);

    // The field whose mode the label shows, e.g. "Фамилия".
    QString field() const { return field_; }
    // What a screen reader announces: "Режим поиска: Фамилия — любое".
    QString spokenName() const;

    // Sized for the widest mode caption, so that a change of mode never clips the text.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Asks for the field's chooser once control is back in the event loop: a screen reader's
    // action must not wait for the modal chooser to close.
    void requestChooserLater();

signals:
    // The chooser is asked for other than by the mouse (a screen reader's action).
    void chooserRequested();

private:
    QString field_; ///< the field's caption, named to a screen reader
};
