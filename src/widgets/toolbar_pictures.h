#pragma once
// The toolbar's nine pictures, drawn in code on the grey key colour as one 288x32 strip, in
// button order: new, reception, description, save, send, save SCP, send SCP, settings, about.

#include <QImage>

constexpr int kToolbarPictures = 9;

QImage MakeToolbarStrip();
