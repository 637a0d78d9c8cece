#pragma once

namespace gui {

// A control that may hold typed text the table has not taken yet.
class PendingInput {
public:
    virtual ~PendingInput() = default;
    virtual bool hasPendingInput() const = 0;
    // Hands the typed text to the table's current record; throws data::Error when the table
    // refuses it (a number that does not parse), and the text stays in the control.
    virtual void handOver() = 0;
};

} // namespace gui
