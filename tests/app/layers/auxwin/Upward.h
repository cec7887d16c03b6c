#pragma once

#include "widgets/Shared.h"
#include "window/Main.h"
