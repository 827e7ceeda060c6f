// The main window's menu (resource 128).
#pragma once

class wxMenuBar;

// Builds the menu bar with every item and its exact text.
wxMenuBar *CreateMainMenu();

// The right-button menu of the subject and the body (menu 412): the edit
// menu's select-all, cut, copy, paste, remove-blanks and undo.
class wxMenu;
wxMenu *CreateEditPopupMenu();
