#include "upgrade/upUpdater.h"

TupUpdater::TupUpdater(QObject* parent) : QObject(parent) {}

void TupUpdater::Loaded() {}

// The network check is not built yet: a call does nothing.
void TupUpdater::CheckUpdate() {}
