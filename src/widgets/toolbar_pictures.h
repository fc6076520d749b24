#pragma once
// The toolbar's ten pictures, drawn in code on the grey key colour as one 320x32 strip, in
// button order: new, open, reception, description, save, send, save SCP, send SCP, settings,
// about.

#include <QImage>

constexpr int kToolbarPictures = 10;

QImage MakeToolbarStrip();
