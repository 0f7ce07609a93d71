// The sizes and places the user gave the three windows, kept from one run of
// the program to the next in the desktop's usual place for settings
// ($XDG_CONFIG_HOME/encounterlab/encounter.conf, ~/.config by default). The
// first run, and the first after ForgetLayout, opens with the program's own
// layout.
#pragma once

class QWidget;

namespace lab {

// The windows as the layout names them.
enum class LayoutWindow { kControl, kTrajectory, kData };

// Gives the window the size and place kept for it; false when none is kept.
bool RestoreWindow(QWidget& window, LayoutWindow which);
// Keeps the window's size and place for the next run.
void KeepWindow(const QWidget& window, LayoutWindow which);
// Forgets every kept size and place (encounter --reset-layout).
void ForgetLayout();

}  // namespace lab
