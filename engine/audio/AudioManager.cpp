#include "engine/audio/AudioManager.h"
