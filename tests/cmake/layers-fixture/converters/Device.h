#pragma once

#include "../platform/Beside.h"
