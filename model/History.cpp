#include "model/History.h"

#include <algorithm>

namespace data {

namespace {

StepSummary summaryOf(const Step &step)
{
    return {step.kind, step.rows.size()};
}

} // namespace

std::optional<StepSummary> History::undoSummary() const
{
    if (!canUndo())
        return std::nullopt;
    return summaryOf(m_steps[m_done - 1]);
}

std::optional<StepSummary> History::redoSummary() const
{
    if (!canRedo())
        return std::nullopt;
    return summaryOf(m_steps[m_done]);
}

void History::add(Step step)
{
    dropRedo();
    m_steps.push_back(std::move(step));
    if (m_steps.size() > stepLimit)
        m_steps.pop_front();
    m_done = m_steps.size();
}

Step &History::stepBack()
{
    return m_steps[--m_done];
}

Step &History::stepForward()
{
    return m_steps[m_done++];
}

void History::dropRedo()
{
    m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(m_done), m_steps.end());
}

void History::clear()
{
    m_steps.clear();
    m_done = 0;
}

std::vector<bool> History::anyVersion(const std::vector<RowId> &ids,
                                      const std::function<bool(const Record &)> &test) const
{
    std::vector<std::pair<RowId, std::size_t>> sorted;
    for (std::size_t i = 0; i < ids.size(); ++i)
        sorted.emplace_back(ids[i], i);
    std::sort(sorted.begin(), sorted.end());
    std::vector<bool> found(ids.size());
    for (std::size_t s = 0; s < m_done && !sorted.empty(); ++s) {
        for (const RowChange &change : m_steps[s].rows) {
            const auto at = std::lower_bound(sorted.begin(), sorted.end(),
                                             std::pair<RowId, std::size_t>(change.id, 0));
            if (at != sorted.end() && at->first == change.id &&
                ((change.before && test(*change.before)) || (change.after && test(*change.after))))
                found[at->second] = true;
        }
    }
    return found;
}

void History::forget(const std::vector<RowId> &ids)
{
    if (ids.empty())
        return;
    std::size_t done = 0;
    std::deque<Step> kept;
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        std::erase_if(m_steps[i].rows, [&](const RowChange &c) {
            return std::binary_search(ids.begin(), ids.end(), c.id);
        });
        if (m_steps[i].rows.empty())
            continue;
        kept.push_back(std::move(m_steps[i]));
        if (i < m_done)
            ++done;
    }
    m_steps = std::move(kept);
    m_done = done;
}

void History::forEachKey(const std::function<void(RowKey &)> &f)
{
    for (Step &step : m_steps) {
        for (RowChange &change : step.rows)
            f(change.key);
    }
}

} // namespace data
