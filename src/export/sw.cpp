#include "export/sw.h"
