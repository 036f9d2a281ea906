// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QApplication;

namespace corvial {

// Sets app up as the window program runs: its name, version, icon and desktop id, Qt's
// Japanese catalogue for its own dialogs (a catalogue that cannot be read is warned about
// and leaves Qt's buttons English) and the stand-ins for the Windows faces. Before the
// first window or dialog.
void setUpWindowProgram(QApplication &app);

} // namespace corvial
