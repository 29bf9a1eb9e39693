// The tray icon's picture, drawn here rather than shipped: a small clock face at ten past ten in
// whatever size a tray asks for, drawn when it first asks. The installed application icons are
// drawn from it too.
#pragma once

#include <QIcon>
#include <QImage>

namespace nimbolt {

QIcon trayIconArt();
// One face, side pixels square, on a transparent ground. Needs no application object.
QImage trayIconImage(int side);

}
