// The display backend the toolkit uses. On a Wayland session a client
// cannot place its own windows, so stored window positions ("TegamiyaPos",
// "EmojiPos") would not apply. Unless the user chose a backend himself
// (GDK_BACKEND), the program asks GTK for its X11 backend, which runs on
// XWayland under every Wayland desktop, and falls back to any other backend
// where there is no X server.
#pragma once

#include <optional>
#include <string>

// The value GDK_BACKEND is to take, given the user's value (nullptr when
// unset); nothing when the user's own value stands. An empty value selects
// no backend at all in GTK, so it counts as unset.
std::optional<std::string> ChooseGdkBackend(const char *userValue);

// Before the toolkit starts: sets GDK_BACKEND as chosen.
void PreferX11Backend();

// After the toolkit has started: takes our choice out of the environment
// again, so that programs started from here (the mail client, the browser)
// see the user's own environment.
void RestoreUserBackend();
