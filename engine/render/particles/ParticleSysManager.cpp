#include "engine/render/particles/ParticleSysManager.h"
