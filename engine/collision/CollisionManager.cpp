#include "engine/collision/CollisionManager.h"
