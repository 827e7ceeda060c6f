// What the main window asks of the window manager: a sizable window with a
// minimise box and a close box and no maximise box. wx asks for exactly that
// from the frame's style (the Motif window-manager hints on X11). Some
// window managers (openbox) never take a maximise function away from a
// window they may resize; for those the window gives up being resized by
// the window manager rather than show a maximise box.
#pragma once

class wxTopLevelWindow;

// Watches the actions the window manager allows the window; when it still
// offers to maximise it, asks again for move, minimise and close only.
// Once per window; nothing happens without an X11 window manager.
void KeepMaximiseBoxAway(wxTopLevelWindow *window);
