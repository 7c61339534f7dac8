#pragma once

class QWidget;

// Places a window in the middle of its screen, as every dialog of the program is placed.
void centreOnScreen(QWidget *window);
