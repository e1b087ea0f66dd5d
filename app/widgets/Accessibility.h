#pragma once

// Makes the window's own controls read well to a screen reader: the language switch and the
// cards are named groups (a card named by its caption), and a progress bar reports its value as
// a percentage from 0 to 100 whatever its internal range. Safe to call more than once.
void InstallAccessibleInterfaces();
