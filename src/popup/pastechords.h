#ifndef PASTECHORDS_H
#define PASTECHORDS_H

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class QSettings;

// Which key chord pastes in which window: most programs take Ctrl+V, but
// terminals keep Ctrl+V for themselves and paste on Ctrl+Shift+V or
// Shift+Insert. Window classes are matched case-insensitively; the classes
// the user names in the [paste] section of quillet.ini take the place of
// the built-in ones.
class PasteChords
{
public:
    enum Chord { CtrlV, CtrlShiftV, ShiftInsert };

    // The built-in table.
    PasteChords();

    // The chord of the first of `windowClasses` (most specific first) that
    // the table knows; Ctrl+V when it knows none.
    Chord chordFor(const QStringList &windowClasses) const;
    // Sets the chord of one window class.
    void set(const QString &windowClass, Chord chord);
    // Takes every key of the [paste] group of `ini`; a value that names no
    // chord is ignored with one debug line.
    void readUserSection(QSettings &ini);

    // The chord a value such as "ctrl+shift+v" names (any case, blanks
    // around the keys allowed); false when it names none.
    static bool parse(const QString &text, Chord *chord);
    // The virtual keys of `chord`, modifiers first and the key last: the
    // paste presses them in this order and releases them in the opposite.
    static QVector<quint32> keys(Chord chord);

private:
    QHash<QString, Chord> byClass;  // keys in lower case
};

#endif  // PASTECHORDS_H
