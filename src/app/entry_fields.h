// The entry fields' key filters: what each field of the window lets the user type.
//
// Every filtered field passes each key press through its filter (config/field_text.h) before the
// field sees it: a key the filter discards goes nowhere, a key it changes (a lower-case letter
// made upper case) is typed as changed. What reaches a field without a key press (a paste, a
// drop, an input method, keys with Alt) passes the same filter through EditFilter, which also
// holds the field's length limit. Numeric fields select their whole text on a click, so that the
// next key replaces it. The window says which field gets which filter and what Enter does in a
// field; the rest lives here.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <functional>

class QKeyEvent;
class QLineEdit;

namespace calvento {

class EntryFields : public QObject {
    Q_OBJECT

public:
    using KeyFilter = std::function<void(int& keyCode)>;

    explicit EntryFields(QObject* parent = nullptr) : QObject(parent) {}

    // The field's keys pass `filter`; `onEnter`, when given, runs for Enter instead of typing it.
    void filter(QLineEdit* field, KeyFilter filter, std::function<void()> onEnter = {});
    // The field selects its whole text when clicked.
    void selectOnClick(QLineEdit* field);
    bool isFiltered(const QObject* field) const { return m_filters.contains(field); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class EditFilter;
    struct Filter {
        KeyFilter keys;
        std::function<void()> onEnter;
    };
    bool filterKey(QLineEdit* field, QKeyEvent* event);

    QHash<const QObject*, Filter> m_filters;
    QList<const QObject*> m_selectOnClick;
};

}  // namespace calvento
