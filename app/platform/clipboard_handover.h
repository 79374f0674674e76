// Hands the program's clipboard text to the desktop's clipboard manager
// before the program ends without its application object going (an ending
// that skips Qt's own hand-over).
//
// On X11 a selection lives in the program that owns it: once that program
// ends, what it copied is gone unless a clipboard manager (the owner of the
// CLIPBOARD_MANAGER selection) took a copy first. Qt asks the manager for
// that when its application object goes; handClipboardToManager() asks the
// same (a SAVE_TARGETS conversion) over a connection of its own, owning the
// clipboard there with the same text and answering the manager's requests
// itself, without the program's event loop. It returns once the manager
// has answered, at once where the program does not own the clipboard on the
// server (whatever the program last heard) or no manager runs, and after at
// most timeoutMs where the manager stays silent.
// Elsewhere than on X11 (the xcb platform) it does nothing.
#pragma once

namespace tarvic {

void handClipboardToManager(int timeoutMs = 5000);

}  // namespace tarvic
