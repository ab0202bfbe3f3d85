#include "engine/render/lights/LightManager.h"
