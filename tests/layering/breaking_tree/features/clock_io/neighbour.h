#pragma once
#include "features/zigbee/zigbee_panel.h"
