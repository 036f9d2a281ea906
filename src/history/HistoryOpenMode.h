// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace corvial {

// Whether opening a history may make it. Only a print makes one: a listing or a reprint of a
// history that is not there is refused, so that a mistyped path leaves nothing behind.
enum class HistoryOpenMode {
    CreateWhenMissing, // the SQLite file and the tables are made when missing
    ExistingOnly,      // the file and the tables must be there already; nothing is made
};

} // namespace corvial
