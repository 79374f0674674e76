#include "tarvic/tarvic.h"
