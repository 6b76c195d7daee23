#pragma once
#include "session/dispatcher.h"
