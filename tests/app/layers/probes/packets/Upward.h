#pragma once

#include "probes/channels/Socket.h"
