// The entry fields' key filters. See entry_fields.h.
#include "app/entry_fields.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "config/field_text.h"

namespace calvento {

namespace {

// The code a key press would have had as a typed character, or -1 for keys that type nothing
// (arrows, Home, Delete, function keys, Tab), which no filter looks at.
int characterCode(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (e->key() == Qt::Key_Backspace) return kKeyBackspace;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return kKeyEnter;
    if (e->key() == Qt::Key_Escape) return 27;
    if (mods == Qt::ControlModifier && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        return e->key() - Qt::Key_A + 1;
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return -1;
    const QString text = e->text();
    if (text.size() != 1) return -1;
    const int code = text.at(0).unicode();
    return code >= 32 && code != 127 ? code : -1;
}

}  // namespace

// Every user edit of a filtered field passes here before the field takes it: keys with Alt or
// Meta, Shift+Insert, a mouse paste, a drop and an input method included, which the key filters
// never see. The field's length limit lives here too and limits only what is typed or pasted;
// the field's own maxLength would cut values that the program sets (from a file, a board, the
// settings file), and PROGRAM would then write the cut value to the board.
//
// It acts on textEdited, which only the user's edits raise: a text set by the program passes
// untouched. The field's previous text is kept from every change, so that the edit is known.
class EntryFields::EditFilter final : public QObject {
public:
    EditFilter(QLineEdit* field, KeyFilter keyFilter)
        : QObject(field),
          m_field(field),
          m_keyFilter(std::move(keyFilter)),
          m_maxLength(field->maxLength()),
          m_before(field->text()) {
        field->setMaxLength(32767);  // Qt's own "no limit"
        connect(field, &QLineEdit::textEdited, this, &EditFilter::edited);
        connect(field, &QLineEdit::textChanged, this, [this] { m_before = m_field->text(); });
    }

private:
    void edited() {
        const QString after = m_field->text();
        const FieldEdit edit = FilterFieldEdit(m_before.toStdU16String(), after.toStdU16String(),
                                               m_field->cursorPosition(), m_maxLength, m_keyFilter);
        const QString text = QString::fromStdU16String(edit.text);
        if (text == after) return;
        m_field->setText(text);
        m_field->setCursorPosition(edit.cursor);
    }

    QLineEdit* m_field;
    KeyFilter m_keyFilter;
    int m_maxLength;
    QString m_before;
};

void EntryFields::filter(QLineEdit* field, KeyFilter keys, std::function<void()> onEnter) {
    new EditFilter(field, keys);
    m_filters.insert(field, {std::move(keys), std::move(onEnter)});
    field->installEventFilter(this);
}

void EntryFields::selectOnClick(QLineEdit* field) {
    m_selectOnClick << field;
    if (!m_filters.contains(field)) field->installEventFilter(this);
}

bool EntryFields::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_filters.contains(watched))
        return filterKey(static_cast<QLineEdit*>(watched), static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonRelease && m_selectOnClick.contains(watched)) {
        // After the field has placed its cursor for the click, select its whole text so that the
        // next key replaces it.
        auto* field = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, field, [field] { field->selectAll(); });
    }
    return false;
}

// Returns true when the key was consumed here (discarded, or typed as its changed code).
bool EntryFields::filterKey(QLineEdit* field, QKeyEvent* event) {
    const int typed = characterCode(event);
    if (typed < 0) return false;
    int code = typed;
    const Filter& f = m_filters[field];
    f.keys(code);
    if (f.onEnter && typed == kKeyEnter) {
        f.onEnter();
        return true;
    }
    if (code == 0) return true;
    if (code != typed) {
        field->insert(QString(QChar(code)));
        return true;
    }
    return false;
}

}  // namespace calvento
