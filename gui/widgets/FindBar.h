#pragma once

#include <QPointer>
#include <QWidget>

#include <cstddef>

class QLabel;
class QLineEdit;

namespace gui {

class DataSource;

// A bar that finds records as the clerk types: from the current record on, wrapping; Enter or
// F3 the next, Shift+Enter or Shift+F3 the previous; Esc closes it. Moving to a found record is
// a cursor move, so a pending change is committed first and a refused one keeps the cursor.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(DataSource &source, QWidget *parent = nullptr);

    // Shows the bar with the focus in its text, remembering where the focus was.
    void open();
    // Hides the bar and gives the focus back.
    void dismiss();
    // Hidden and empty, as at the start: another list is open.
    void clear();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Finds the text from the current record on, wrapping: `step` 0 (typing) looks at the
    // current record first, 1 begins after it, -1 goes backward from the one before it.
    void find(int step);

    DataSource &m_source;
    QLineEdit *m_text;
    QLabel *m_status;
    QPointer<QWidget> m_returnFocus;
};

} // namespace gui
