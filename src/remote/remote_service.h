#pragma once
// The remote service shell, started from the keyboard's F10 and the menu.

// Runs the product's remote service program and waits for it.
void RemoteConnection();
