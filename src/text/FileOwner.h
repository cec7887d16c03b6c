#pragma once

#include <QString>

// Who may change a file or a folder, as far as the platform tells. In a folder that
// other users may write, any name the program uses may already hold their link or
// their file, planted to make a save write where they cannot.
namespace FileOwner {

// Whether the entry at `path` itself (a link, not what it leads to) belongs to the
// user the program runs as. False when nothing is there.
bool isOwn(const QString& path);

// Whether another user may add, replace or remove entries in the folder: it belongs
// to someone else, or its group or everybody may write it.
bool othersMayWrite(const QString& folder);

} // namespace FileOwner
