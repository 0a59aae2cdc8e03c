#pragma once
// The drawing cost model of a ticket: what the worst print of each item and
// of the paper takes, in nanoseconds, so the reader can refuse a plug-in
// whose ticket would hold the program up (drawCostNs in Plugin4sp.h sums it).
#include "helperlib/Plugin4sp.h"

namespace plugin {

qint64 itemCostNs(const Item &item, const Plugin &p);
qint64 paperNs(const Plugin &p);

} // namespace plugin
