#pragma once

#include <QKeyEvent>
#include <QLineEdit>

#include <optional>

// Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z, in a line edit: its own undo and redo serve only typing the
// table has not taken yet; otherwise the keys go to the window, which takes back or redoes the
// table's changes. Both redo keys on every platform, as a line edit knows only its platform's.
namespace gui {

enum class UndoKey { None, Undo, Redo };

inline UndoKey undoKeyOf(const QKeyEvent &key)
{
    const QKeyCombination combination = key.keyCombination();
    if (key.matches(QKeySequence::Redo) || combination == QKeyCombination(Qt::CTRL, Qt::Key_Y) ||
        combination == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z))
        return UndoKey::Redo;
    if (key.matches(QKeySequence::Undo))
        return UndoKey::Undo;
    return UndoKey::None;
}

// For an event of `edit`: the result of event() when it is a shortcut override of an undo key,
// nothing for any other event. `typing`: the edit holds text the table has not taken.
inline std::optional<bool> takesUndoKey(QLineEdit &edit, QEvent *event, bool typing)
{
    if (event->type() != QEvent::ShortcutOverride)
        return std::nullopt;
    const UndoKey key = undoKeyOf(*static_cast<QKeyEvent *>(event));
    if (key == UndoKey::None)
        return std::nullopt;
    const bool own = typing && !edit.isReadOnly() &&
                     (key == UndoKey::Undo ? edit.isUndoAvailable() : edit.isRedoAvailable());
    event->setAccepted(own);
    return own;
}

// Undoes or redoes the edit's own typing for an undo key it took; true when it was one.
inline bool undoKeyPressed(QLineEdit &edit, QKeyEvent *event)
{
    switch (undoKeyOf(*event)) {
    case UndoKey::Undo:
        edit.undo();
        return true;
    case UndoKey::Redo:
        edit.redo();
        return true;
    case UndoKey::None:
        break;
    }
    return false;
}

} // namespace gui
