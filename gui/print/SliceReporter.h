#pragma once

#include "gui/print/ListDocument.h"

#include <QElapsedTimer>

namespace gui {

// Tells `progress` at the end of a slice of a few tens of milliseconds, and always when `now`.
class SliceReporter {
public:
    explicit SliceReporter(const ListDocument::Progress &progress)
        : m_progress(progress)
    {
        m_slice.start();
    }
    bool operator()(int done, int total, bool now = false)
    {
        if (!now && m_slice.elapsed() < sliceMs)
            return true;
        m_slice.restart();
        return m_progress(done, total);
    }

private:
    static constexpr qint64 sliceMs = 40;
    const ListDocument::Progress &m_progress;
    QElapsedTimer m_slice;
};

} // namespace gui
