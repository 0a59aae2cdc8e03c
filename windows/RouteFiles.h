#pragma once
// A route's files written from a window (the open-data import, the CSV
// import): the folders made where they are not yet, then every file as one
// (all new, or on any failure all as they were). A failure raises an error
// whose text says in plain words what happened to the route's files.
#include "core/FileIo.h"

#include <QList>

namespace routefiles {

void write(int number, const QList<fileio::FileWrite> &files);

} // namespace routefiles
