#pragma once
// The fare data moved to the ride's own folder; this name stays for the
// GTFS import until it includes "ride/FareData.h" itself.
#include "ride/FareData.h"
