#include "engine/input/KeyboardInput.h"
