// What the seller is told when an update is refused or fails: what
// happened and what to do, in Chinese, then the technical reason.
#pragma once

#include "upgrade/upUtils.h"

#include <QString>

QString RefusedInfoMessage(TupInfoRefusal why, const QString& detail);
QString InfoFileTooLargeMessage();
QString FileMismatchMessage(const QString& fileName, const QString& detail);
QString FileNotWrittenMessage(const QString& path, const QString& detail);
QString UntrustedFolderMessage(const QString& detail);
QString ReplacerNotStartedMessage(const QString& detail);
QString RolledBackMessage(const QString& detail);
