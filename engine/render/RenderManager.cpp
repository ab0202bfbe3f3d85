#include "engine/render/RenderManager.h"
