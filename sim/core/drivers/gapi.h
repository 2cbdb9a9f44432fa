// GAPI on the simulated device: the display memory that GXBeginDraw hands
// out and the panel that shows it when a pass ends.
#pragma once

#include <functional>

namespace sim {

// At power-on: the display is closed, the GXBeginDraw calls are counted
// from 1 again and Random starts again from the profile's "seed".
void reset_display_access();

// Called each time GXEndDraw has put a frame on the panel, with the number
// of the GXBeginDraw call (since power-on) that began the pass.  One
// observer; an empty function removes it.
void set_frame_observer(std::function<void(int begin_call)> observer);
// Called after the observer, each time a frame is on the panel: the device
// window shows the frame there (one; an empty function removes it).
void set_panel_watcher(std::function<void()> watcher);

}  // namespace sim
