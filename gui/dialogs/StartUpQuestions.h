#pragma once

#include "system/RecoveryCopy.h"

#include <QString>

#include <functional>
#include <optional>

namespace os {
class FolderLock;
} // namespace os

namespace gui {

// Whether to open a folder whose lock another running program holds: "Ne" is the default,
// since two programs on one database lose each other's work.
bool askToOpenLockedFolder(const os::FolderLock &lock, const QString &databasePath);

// Offers the copies of unsaved work left behind for `databasePath`, one by one, and returns the
// one the clerk brings back. A copy declined or unreadable is set aside, never deleted.
// `stopped` is asked after every question: a program told to end asks nothing more.
std::optional<os::RecoveryCopy::LeftBehind>
offerLeftBehindWork(const QString &databasePath, bool mayTakeFolderCopy, const data::Schema &schema,
                    const std::function<bool()> &stopped);

} // namespace gui
