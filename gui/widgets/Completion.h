#pragma once

#include <QListView>
#include <QObject>
#include <QPointer>

#include <cstddef>

class QCompleter;
class QLineEdit;
class QModelIndex;

namespace gui {

class ColumnValues;
class DataSource;

// Offers, in a list under a line edit, the values already in its column that begin with what
// was typed, without regard to case and diacritics. It only suggests: no entry is chosen until
// the clerk chooses one with the arrow keys and Enter (or a click), and that changes the text as
// typing would. Esc closes only the list; Tab and every other key do what they do without it.
//
// The list is a child of the edit's window, not a popup: the focus, the keys and the window's
// shortcuts stay where they are, and a click elsewhere lands at once.
class Completion : public QObject {
    Q_OBJECT

public:
    // A completion for a box or cell of the fields whose values come again from record to record
    // (name, catalogue number, manufacturer, supplier, importer, unit, protocol); none otherwise.
    static Completion *attach(QLineEdit &edit, DataSource &source, std::size_t field);

    Completion(QLineEdit &edit, ColumnValues &values);
    ~Completion() override;

    QListView *list() const { return m_list; }
    void close();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void offer(const QString &typed);
    void place(int entries);
    void choose(int step);
    void take(const QModelIndex &entry);

    QLineEdit &m_edit;
    ColumnValues &m_values;
    QCompleter *m_completer;
    QPointer<QListView> m_list;
    int m_rowHeight = 0;
    bool m_taking = false;
};

} // namespace gui
