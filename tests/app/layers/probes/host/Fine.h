#pragma once

#include "probes/channels/Socket.h"
#include "probes/packets/Bytes.h"
