#pragma once
// The toolbar's eleven pictures, drawn in code on the grey key colour as one 352x32 strip, in
// button order: new, open, archive, reception, description, save, send, save SCP, send SCP,
// settings, about.

#include <QImage>

constexpr int kToolbarPictures = 11;

QImage MakeToolbarStrip();
