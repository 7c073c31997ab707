// The replacement program's executable, carried inside the application.
#pragma once

#include <QByteArray>

QByteArray EmbeddedReplacer();
