// The program speaks Chinese whatever the system's language: Qt's own texts
// (OK / Yes / No / Cancel, the file dialogs and their questions, the
// calendar) come from Qt's Chinese translations and the Chinese locale.
#pragma once

class QCoreApplication;

// Installs Qt's Simplified Chinese translations and makes Chinese (China)
// the default locale; returns false when the translation files are missing.
bool LoadChineseTranslations(QCoreApplication& app);
