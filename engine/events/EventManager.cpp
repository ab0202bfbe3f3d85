#include "engine/events/EventManager.h"
