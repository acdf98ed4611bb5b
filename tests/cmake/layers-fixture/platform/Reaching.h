#pragma once

// The platform reaching up into the device layer: the layer check must name this line.
#include "Beside.h"
#include "../converters/Device.h"
