#include "player/mpv_player.h"
