// The tray icon's picture, drawn here rather than shipped: a small clock face at ten past ten in
// every size a tray may ask for.
#pragma once

#include <QIcon>

namespace nimbolt {

QIcon trayIconArt();

}
