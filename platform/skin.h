#pragma once
// The window's look: a style sheet from a skin file. Without the file, or when it
// cannot be read, the window simply keeps the platform's look.
class QApplication;

// Attaches the skin named by QUILLMARK_SKIN (a .qss file), else the bundled one.
// Returns whether a skin was attached; nothing else depends on it.
bool SkinH_Attach();
