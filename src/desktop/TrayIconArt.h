// The tray icon's picture, drawn here rather than shipped: a small clock face at ten past ten in
// whatever size a tray asks for, drawn when it first asks.
#pragma once

#include <QIcon>

namespace nimbolt {

QIcon trayIconArt();

}
