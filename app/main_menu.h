// The main window's menu (resource 128).
#pragma once

class wxMenuBar;

// Builds the menu bar with every item and its exact text.
wxMenuBar *CreateMainMenu();
