#include "engine/objects/GameObjectManager.h"
