#include "export/command_line.h"
