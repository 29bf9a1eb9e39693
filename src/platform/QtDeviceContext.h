// Device contexts over Qt paint devices (a window's paint surface during its paint event, a
// QImage), for the parts of the platform layer that own such devices. The device must outlive the
// context.
#pragma once

#include <platform/DeviceContext.h>

#include <QPaintDevice>
#include <memory>

namespace nimbolt {

std::unique_ptr<DeviceContext> createDeviceContext(QPaintDevice& device);

}
