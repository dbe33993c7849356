#include "common/ComPortSetup.h"
