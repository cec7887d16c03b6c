#pragma once

#include "probes/Face.h"
#include "probes/packets/Bytes.h"
#include "probes/sweep/Sweep.h"
