#include "scene/scene.h"

SceneState scene_state;
