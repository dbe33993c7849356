#include "controller/ComPortSetup.h"
