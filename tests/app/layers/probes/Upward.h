#pragma once

#include "text/Fine.h"
#include "window/Widget.h"
