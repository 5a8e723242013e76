#pragma once

#include <QRect>

class QWidget;

// Places and sizes are measured in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height);

// Puts a window in the middle of its screen.
void centreOnScreen(QWidget &window);
